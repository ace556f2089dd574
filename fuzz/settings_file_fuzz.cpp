// Fuzz target: the settings file, the input as its whole contents, read by
// name the way both programs read it. The file lives in memory (memfd): no
// directory to create or clean up, and every input is a fresh open.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings.h"

namespace {

class MemoryFile {
public:
    MemoryFile() : fd_(memfd_create("settings", MFD_CLOEXEC)), path_("/proc/self/fd/" + std::to_string(fd_)) {
        if (fd_ < 0) std::abort();
    }

    // Replaces the contents; returns the path to open.
    const char* hold(const std::uint8_t* data, std::size_t size) {
        if (ftruncate(fd_, 0) != 0) std::abort();
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) std::abort();
            done += static_cast<std::size_t>(n);
        }
        return path_.c_str();
    }

private:
    int fd_;
    std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MemoryFile file;
    tarvex::Settings settings;
    tarvex::settings_load(file.hold(data, size), settings);
    return 0;
}
