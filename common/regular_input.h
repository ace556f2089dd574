// Opening a file the programs read (settings file, chapter video) without
// ever blocking: a FIFO without a writer would hold the open for ever, and a
// directory or device can never be the file that is asked for.
#pragma once

#include <cstdio>

namespace tarvex {

enum class InputOpen {
    Opened,
    CannotOpen,  // missing or unreadable; errno tells why
    NotRegular,  // a FIFO, directory, device or socket (a link to a regular file is fine)
};

// Opens `path` for reading when it names a regular file. Returns the stream
// (result Opened), or nullptr with the reason in `result`.
std::FILE* open_regular_input(const char* path, InputOpen& result);

}  // namespace tarvex
