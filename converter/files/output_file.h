// One output file of a conversion (a chapter's SRT, CSV or GPX, or any file
// written the same way): written to a hidden temporary file beside its final
// name and renamed onto that name only once complete. So a link in the
// output's place is replaced, never written through, and a failed or
// interrupted run leaves an earlier file of that name untouched. Every write,
// the flush and the close are checked; the first failure is kept with the
// system's reason.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

#include <sys/types.h>

#include "output_place.h"
#include "text_out.h"

namespace tarvex {

class OutputFile : private TextSink {
public:
    // Files in `place`: the file system, or a stand-in (fuzzing).
    explicit OutputFile(OutputPlace& place = file_system()) : place_(place) {}
    ~OutputFile() { discard(); }
    // The text buffer refers back to its owner: never copied or moved.
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Starts the file that will become `final_path`: creates the temporary
    // file "<folder>/.<name>.<pid>.part". False (nothing created, errno set)
    // when it cannot be created, or when the final name is a directory or a
    // regular file this user may not write (such a name is not replaced).
    bool open(const std::string& final_path);

    // The file's text: every writer writes here. Text written while the file
    // is not open is dropped.
    TextOut& text() { return text_; }
    bool is_open() const { return fd_ >= 0; }
    // True once a write or the close has failed.
    bool failed() const { return error_ != 0; }
    const std::string& path() const { return final_path_; }

    // Writes the buffered text and closes the temporary file, which stays
    // until publish() or discard(). False on failure (then failed()).
    bool close();
    // Renames the closed temporary file onto the final name. False on failure.
    bool publish();
    // Closes and removes the temporary file, if any; the final name is untouched.
    void discard();

    // "Could not write <final path>: <system's reason>\n" on stdout.
    void print_failure() const;
    // That line, without the newline.
    std::string failure_message() const;

private:
    // All of the bytes, or the first failure kept with its reason.
    void write(const char* bytes, std::size_t n) override;
    void fail(int error) {
        if (error_ == 0) error_ = error;
    }

    OutputPlace& place_;
    std::string final_path_, temp_path_;
    int fd_ = -1;          // the place's handle
    bool closed_ = false;  // temporary file complete, not yet renamed
    int error_ = 0;        // errno of the first failure
    TextOut text_{this};
};

// Completes outputs that belong together (one chapter's files): closes every
// open one and, only when all closed cleanly, renames each onto its name.
// On the first failure prints its message, discards every file of the group
// not yet renamed and returns false.
bool commit_outputs(std::initializer_list<OutputFile*> files);

}  // namespace tarvex
