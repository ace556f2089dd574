// The camera's entry point. Exit status 255 after a fatal start-up or
// accessory error; otherwise the daemon runs until the camera is switched off.
#include "recorder_main.h"

int main() { return tarvex::recorder_main() == -1 ? 255 : 0; }
