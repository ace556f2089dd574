// The converter's command line and its run from the DAT header to the last
// video chapter: options, start-up checks, the chapter state machine and the
// calls to the writers, in order, for every event.
#pragma once

namespace tarvex {

// The whole program; returns the exit status (0, or 255 on a fatal error).
int converter_main(int argc, char** argv);

}  // namespace tarvex
