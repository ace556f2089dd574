// Walks a DAT log entry by entry through the converter's own entry reader,
// so its framing is the conversion's (8-byte entry header, `size` payload
// bytes; size 0 skips the header only; an oversized payload keeps its first
// 96 bytes), and keeps what the conversion forgets: each entry's file
// offset, declared size and what is wrong with it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "dat_format.h"

namespace tarvex::datview {

enum class EntryProblem {
    None,
    ZeroSize,     // header only; the next 8 bytes are read as a new entry
    Oversize,     // size over 96: the first 96 bytes are kept, the rest skipped
    Undersize,    // payload shorter than the kind's layout: missing fields read as 0
    UnknownKind,  // not 240..243 (the converter queues it like a GPS record)
    CutOff,       // end of file inside the entry: `cut_bytes` bytes left over
};

struct WalkedEntry {
    std::uint64_t offset = 0;  // file offset of the entry header
    std::uint16_t type = 0;
    std::uint16_t size = 0;           // as declared in the file
    std::uint32_t vid_timestamp = 0;  // ms since recording start
    EntryProblem problem = EntryProblem::None;
    std::uint64_t cut_bytes = 0;                      // CutOff only
    std::array<std::uint8_t, MAX_PAYLOAD> payload{};  // first 96 bytes, zero-filled
};

// Smallest payload of each known kind, 0 for unknown kinds.
std::size_t kind_min_size(std::uint16_t type);
const char* kind_name(std::uint16_t type);  // "sample", "gps_fix", ... or "unknown"
const char* problem_text(EntryProblem p);

enum class HeaderStatus { Ok, CannotOpen, Short, BadMagic, BadVersion };

// Opens a log and reads its header; then hands out entries until none is
// left. A CutOff entry is always the last one.
class LogWalk {
public:
    explicit LogWalk(const char* path);
    ~LogWalk();
    LogWalk(const LogWalk&) = delete;
    LogWalk& operator=(const LogWalk&) = delete;

    HeaderStatus status() const { return status_; }
    const DatHeader& header() const { return header_; }
    bool next(WalkedEntry& e);

private:
    std::FILE* file_ = nullptr;
    std::unique_ptr<LogReader> reader_;  // a 64 KiB block
    HeaderStatus status_ = HeaderStatus::CannotOpen;
    DatHeader header_;
    bool done_ = false;
};

const char* header_status_text(HeaderStatus s);

}  // namespace tarvex::datview
