// The camera's entry point. Exit status 255 after a fatal start-up or
// accessory error; otherwise the daemon runs until the camera is switched off.
// "--version" prints the build's name and version instead.
#include <cstdio>
#include <cstring>

#include "recorder_main.h"
#include "variant.h"
#include "version.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("recorder-rev%u %s\n", static_cast<unsigned>(tarvex::recorder_variant.hw_revision),
                    tarvex::PROGRAM_VERSION);
        return 0;
    }
    return tarvex::recorder_main() == -1 ? 255 : 0;
}
