// Output files written beside their final name and renamed into place, with
// every write checked. The writers' text reaches write() in blocks, so the
// system's reason for the first failed write is kept exactly, not guessed
// afterwards.
#define _FILE_OFFSET_BITS 64

#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvex {

namespace {

// "<folder>/.<name>.<pid>.part": hidden, recognisable, one per process.
std::string temp_path_for(const std::string& final_path) {
    const std::size_t slash = final_path.rfind('/');
    const std::size_t name_at = slash == std::string::npos ? 0 : slash + 1;
    return final_path.substr(0, name_at) + "." + final_path.substr(name_at) + "." + std::to_string(getpid()) + ".part";
}

}  // namespace

bool OutputFile::open(const std::string& final_path) {
    discard();
    final_path_ = final_path;
    error_ = 0;

    // Writing in place would fail for these; replacing them would drop a
    // folder or a protection the user set.
    struct stat st {};
    if (lstat(final_path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return false;
        }
        if (S_ISREG(st.st_mode) && access(final_path.c_str(), W_OK) != 0) return false;
    }

    // O_EXCL: a file or link already at the temporary name is never written
    // through. One left by an earlier run with the same process id is removed.
    temp_path_ = temp_path_for(final_path);
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC;
    fd_ = ::open(temp_path_.c_str(), flags, 0666);
    if (fd_ < 0 && errno == EEXIST && unlink(temp_path_.c_str()) == 0) fd_ = ::open(temp_path_.c_str(), flags, 0666);
    if (fd_ < 0) return false;

    closed_ = false;
    return true;
}

void OutputFile::write(const char* bytes, std::size_t n) {
    if (fd_ < 0 || failed()) return;  // not open, or lost already: write nothing more
    while (n > 0) {
        const ssize_t w = ::write(fd_, bytes, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            fail(w < 0 ? errno : ENOSPC);
            return;
        }
        bytes += w;
        n -= static_cast<std::size_t>(w);
    }
}

bool OutputFile::close() {
    if (fd_ < 0) return !failed();
    text_.flush();
    // A close may report a failed write-back (network or removable media).
    if (::close(fd_) != 0) fail(errno);
    fd_ = -1;
    closed_ = true;
    return !failed();
}

bool OutputFile::publish() {
    if (!closed_ || failed()) return false;
    if (std::rename(temp_path_.c_str(), final_path_.c_str()) != 0) {
        fail(errno);
        discard();
        return false;
    }
    closed_ = false;
    return true;
}

void OutputFile::discard() {
    text_.drop();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
        closed_ = true;
    }
    if (closed_) {
        unlink(temp_path_.c_str());
        closed_ = false;
    }
}

void OutputFile::print_failure() const { std::printf("%s\n", failure_message().c_str()); }

std::string OutputFile::failure_message() const {
    return "Could not write " + final_path_ + ": " + std::strerror(error_);
}

bool commit_outputs(std::initializer_list<OutputFile*> files) {
    const OutputFile* failed = nullptr;
    for (OutputFile* f : files) {
        if (!f->close() && failed == nullptr) failed = f;
    }
    for (OutputFile* f : files) {
        if (failed == nullptr && !f->publish() && f->failed()) failed = f;
    }
    if (failed == nullptr) return true;
    failed->print_failure();
    for (OutputFile* f : files) f->discard();
    return false;
}

}  // namespace tarvex
