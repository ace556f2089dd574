// Where output files are made: the file system, or a stand-in that keeps
// nothing (the fuzz target's), which can fail on request. These are the
// only system calls an OutputFile makes; its rules (temporary file, first
// failure kept, files of a group put in place together) stay its own.
#pragma once

#include <cstddef>
#include <string>

namespace tarvex {

class OutputPlace {
public:
    // Makes the temporary file that is to become `final_path`. A handle
    // (>= 0), or -1 with errno set when it cannot be made, or when the final
    // name is one that must not be replaced. A file already at `temp_path`
    // is never written through; with `replace_stale` it is removed first (a
    // leftover of an earlier run with this process id).
    virtual int create(const std::string& final_path, const std::string& temp_path, bool replace_stale) = 0;
    // All `n` bytes: 0, or the errno of the failure.
    virtual int write_all(int handle, const char* bytes, std::size_t n) = 0;
    // 0, or the errno of a failed close (a write-back that failed late).
    virtual int close(int handle) = 0;
    // Puts the closed temporary file on its final name: 0, or errno.
    virtual int rename(const std::string& temp_path, const std::string& final_path) = 0;
    virtual void remove(const std::string& temp_path) = 0;

protected:
    ~OutputPlace() = default;
};

// The file system. It holds no state: one object serves every file.
OutputPlace& file_system();

}  // namespace tarvex
