// Opens inputs only when they are regular files, without blocking on the way.
// Chapter files can exceed 2 GiB, so the descriptor needs 64-bit offsets.
#define _FILE_OFFSET_BITS 64

#include "regular_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarvex {

std::FILE* open_regular_input(const char* path, InputOpen& result) {
    // The name is looked at first so that a device is never opened at all
    // (opening some has side effects); the open itself cannot block either,
    // should a FIFO take the name in between, and fstat decides.
    struct stat st {};
    if (stat(path, &st) != 0) {
        result = InputOpen::CannotOpen;
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        result = InputOpen::NotRegular;
        return nullptr;
    }
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result = InputOpen::CannotOpen;
        return nullptr;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        result = InputOpen::NotRegular;
        return nullptr;
    }
    // Regular files ignore O_NONBLOCK; it is cleared so nothing downstream
    // ever sees EAGAIN.
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* f = fdopen(fd, "r");
    if (f == nullptr) {
        const int error = errno;
        close(fd);
        errno = error;
        result = InputOpen::CannotOpen;
        return nullptr;
    }
    result = InputOpen::Opened;
    return f;
}

}  // namespace tarvex
