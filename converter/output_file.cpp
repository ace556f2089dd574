// Output files written beside their final name and renamed into place, with
// every write checked. The stream is a stdio stream whose writes come here
// (fopencookie), so the writers keep printing to a FILE* and the system's
// reason for the first failed write is kept exactly, not guessed afterwards.
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

    stream_ = fopencookie(this, "w", cookie_io_functions_t{nullptr, &write_cookie, nullptr, &close_cookie});
    if (stream_ == nullptr) {
        const int error = errno;
        ::close(fd_);
        fd_ = -1;
        unlink(temp_path_.c_str());
        errno = error;
        return false;
    }
    // Rows come through text() in blocks of kilobytes, which a stdio buffer
    // would only copy once more; the few header lines go out as they are.
    std::setvbuf(stream_, nullptr, _IONBF, 0);
    text_.attach(stream_);
    closed_ = false;
    discarding_ = false;
    return true;
}

// All of the bytes, or a failure: stdio sets the stream's error indicator on
// a short count, and the first reason is kept here.
ssize_t OutputFile::write_cookie(void* self, const char* bytes, std::size_t n) {
    auto& out = *static_cast<OutputFile*>(self);
    if (out.discarding_) return static_cast<ssize_t>(n);
    if (out.failed()) return 0;  // the file is lost already: write nothing more
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(out.fd_, bytes + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            out.fail(w < 0 ? errno : ENOSPC);
            return static_cast<ssize_t>(done);
        }
        done += static_cast<std::size_t>(w);
    }
    return static_cast<ssize_t>(n);
}

int OutputFile::close_cookie(void* self) {
    auto& out = *static_cast<OutputFile*>(self);
    const int r = ::close(out.fd_);
    out.fd_ = -1;
    // A close may report a failed write-back (network or removable media).
    if (r != 0 && !out.discarding_) out.fail(errno);
    return r;
}

bool OutputFile::close() {
    if (stream_ == nullptr) return !failed();
    text_.attach(nullptr);  // hands the buffered text over first
    if (std::fflush(stream_) != 0) fail(errno != 0 ? errno : EIO);
    std::fclose(stream_);  // its result is the cookie's, recorded there
    stream_ = nullptr;
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
    text_.attach(nullptr);
    if (stream_ != nullptr) {
        discarding_ = true;
        std::fclose(stream_);
        stream_ = nullptr;
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
