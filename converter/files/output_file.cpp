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

// "<folder>/.<name>.<pid>.part": hidden, recognisable, one per process. A
// name too long for that (the file system's limit is 255 bytes) takes the
// short form "<folder>/.out<n>.<extension>.<pid>.part", n counting up from 0
// past the names in use.
std::string temp_path_for(const std::string& final_path, int short_n = -1) {
    const std::size_t slash = final_path.rfind('/');
    const std::size_t name_at = slash == std::string::npos ? 0 : slash + 1;
    const std::string name = final_path.substr(name_at);
    std::string temp = final_path.substr(0, name_at);
    if (short_n < 0) {
        temp.append(".").append(name);
    } else {
        const std::size_t dot = name.rfind('.');
        temp.append(".out").append(std::to_string(short_n));
        if (dot != std::string::npos) temp.append(name, dot, 8);
    }
    return temp.append(".").append(std::to_string(getpid())).append(".part");
}

constexpr std::size_t NAME_MAX_BYTES = 255;
constexpr int SHORT_NAMES_TRIED = 16;

// The system calls, each failure kept as its errno.
class FileSystem final : public OutputPlace {
public:
    int create(const std::string& final_path, const std::string& temp_path, bool replace_stale) override {
        // Writing in place would fail for these; replacing them would drop a
        // folder or a protection the user set.
        struct stat st {};
        if (lstat(final_path.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) {
                errno = EISDIR;
                return -1;
            }
            if (S_ISREG(st.st_mode) && access(final_path.c_str(), W_OK) != 0) return -1;
        }
        // O_EXCL: a file or link already at the temporary name is never
        // written through. One left by an earlier run with the same process
        // id is removed.
        const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC;
        int fd = ::open(temp_path.c_str(), flags, 0666);
        if (fd < 0 && errno == EEXIST && replace_stale && unlink(temp_path.c_str()) == 0)
            fd = ::open(temp_path.c_str(), flags, 0666);
        return fd;
    }

    int write_all(int fd, const char* bytes, std::size_t n) override {
        while (n > 0) {
            const ssize_t w = ::write(fd, bytes, n);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return w < 0 ? errno : ENOSPC;
            bytes += w;
            n -= static_cast<std::size_t>(w);
        }
        return 0;
    }

    // A close may report a failed write-back (network or removable media).
    int close(int fd) override { return ::close(fd) != 0 ? errno : 0; }

    int rename(const std::string& temp_path, const std::string& final_path) override {
        return std::rename(temp_path.c_str(), final_path.c_str()) != 0 ? errno : 0;
    }

    void remove(const std::string& temp_path) override { unlink(temp_path.c_str()); }
};

}  // namespace

OutputPlace& file_system() {
    static FileSystem place;
    return place;
}

bool OutputFile::open(const std::string& final_path) {
    discard();
    final_path_ = final_path;
    error_ = 0;
    temp_path_ = temp_path_for(final_path);
    const std::size_t slash = temp_path_.rfind('/');
    if (temp_path_.size() - (slash == std::string::npos ? 0 : slash + 1) > NAME_MAX_BYTES) {
        // Short names may be in use by this run's other outputs: the next one.
        for (int n = 0; n < SHORT_NAMES_TRIED; ++n) {
            temp_path_ = temp_path_for(final_path, n);
            fd_ = place_.create(final_path_, temp_path_, false);
            if (fd_ >= 0 || errno != EEXIST) break;
        }
    } else {
        fd_ = place_.create(final_path_, temp_path_, true);
    }
    if (fd_ < 0) return false;
    closed_ = false;
    return true;
}

void OutputFile::write(const char* bytes, std::size_t n) {
    if (fd_ < 0 || failed()) return;  // not open, or lost already: write nothing more
    if (const int error = place_.write_all(fd_, bytes, n)) fail(error);
}

bool OutputFile::close() {
    if (fd_ < 0) return !failed();
    text_.flush();
    if (const int error = place_.close(fd_)) fail(error);
    fd_ = -1;
    closed_ = true;
    return !failed();
}

bool OutputFile::publish() {
    if (!closed_ || failed()) return false;
    if (const int error = place_.rename(temp_path_, final_path_)) {
        fail(error);
        discard();
        return false;
    }
    closed_ = false;
    return true;
}

void OutputFile::discard() {
    text_.drop();
    if (fd_ >= 0) {
        place_.close(fd_);
        fd_ = -1;
        closed_ = true;
    }
    if (closed_) {
        place_.remove(temp_path_);
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
