// A file a run reads, which no output may replace: the log, the settings
// file, a chapter's video. Known by its name and, when it exists, by device
// and inode (which also catches another spelling of the path, a hard link or
// a symbolic link). The converter and datview's picture both guard with it.
#pragma once

#include <sys/stat.h>

#include <string>

namespace tarvex {

// Every file that includes this compiles with 64-bit file offsets (logs over
// 2 GiB on the camera), so the record has one layout everywhere.
static_assert(sizeof(ino_t) == 8, "define _FILE_OFFSET_BITS 64 before any include");

struct InputFile {
    std::string path;
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;

    void set(const char* p, const struct stat* st) {
        path = p;
        exists = st != nullptr;
        if (st != nullptr) dev = st->st_dev, ino = st->st_ino;
    }
    // The file at `p` as it is now.
    void set(const char* p) {
        struct stat st {};
        set(p, stat(p, &st) == 0 ? &st : nullptr);
    }
    bool is(const char* out_path, const struct stat* out_st) const {
        if (!path.empty() && path == out_path) return true;
        return exists && out_st != nullptr && out_st->st_dev == dev && out_st->st_ino == ino;
    }
    bool is(const char* out_path) const {
        struct stat st {};
        return is(out_path, stat(out_path, &st) == 0 ? &st : nullptr);
    }
};

}  // namespace tarvex
