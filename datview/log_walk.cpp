// datview's reading of a log: the header check and the entry framing are
// the converter's; this adds offsets, declared sizes and problems.
#include "log_walk.h"

#include <span>

namespace tarvex::datview {

std::size_t kind_min_size(std::uint16_t type) {
    switch (static_cast<EntryKind>(type)) {
        case EntryKind::SensorSample: return SENSOR_SAMPLE_PAYLOAD;
        case EntryKind::GpsFix: return fix_off::min_size;
        case EntryKind::GpsFix2: return fix2_off::min_size;
        case EntryKind::GpsNavData: return nav_off::min_size;
    }
    return 0;
}

const char* kind_name(std::uint16_t type) {
    switch (static_cast<EntryKind>(type)) {
        case EntryKind::SensorSample: return "sample";
        case EntryKind::GpsFix: return "gps_fix";
        case EntryKind::GpsFix2: return "gps_fix2";
        case EntryKind::GpsNavData: return "gps_nav";
    }
    return "unknown";
}

const char* problem_text(EntryProblem p) {
    switch (p) {
        case EntryProblem::None: return "";
        case EntryProblem::ZeroSize: return "size 0";
        case EntryProblem::Oversize: return "size over 96 bytes";
        case EntryProblem::Undersize: return "payload shorter than its kind's layout";
        case EntryProblem::UnknownKind: return "unknown kind";
        case EntryProblem::CutOff: return "cut off by the end of the file";
    }
    return "";
}

const char* header_status_text(HeaderStatus s) {
    switch (s) {
        case HeaderStatus::Ok: return "ok";
        case HeaderStatus::CannotOpen: return "cannot be opened";
        case HeaderStatus::Short: return "shorter than the 88-byte header";
        case HeaderStatus::BadMagic: return "not a DAT log (wrong magic)";
        case HeaderStatus::BadVersion: return "unknown format version";
    }
    return "";
}

LogWalk::LogWalk(const char* path) {
    file_ = std::fopen(path, "rb");
    if (file_ == nullptr) return;
    std::setvbuf(file_, nullptr, _IONBF, 0);  // the reader reads in blocks of its own
    std::array<std::uint8_t, DAT_HEADER_SIZE> b{};
    const std::size_t got = std::fread(b.data(), 1, b.size(), file_);
    switch (check_dat_header(std::span(b.data(), got), header_)) {
        case HeaderCheck::Ok: status_ = HeaderStatus::Ok; break;
        case HeaderCheck::Short: status_ = HeaderStatus::Short; return;
        case HeaderCheck::BadMagic: status_ = HeaderStatus::BadMagic; return;
        case HeaderCheck::BadVersion: status_ = HeaderStatus::BadVersion; return;
    }
    reader_ = std::make_unique<LogReader>();
    reader_->file = file_;
}

LogWalk::~LogWalk() {
    if (file_ != nullptr) std::fclose(file_);
}

bool LogWalk::next(WalkedEntry& e) {
    if (done_ || status_ != HeaderStatus::Ok) return false;
    e = WalkedEntry{};
    const std::uint64_t start = reader_offset(*reader_);
    e.offset = DAT_HEADER_SIZE + start;
    LogEntry entry;
    const ReadResult result = read_log_entry(*reader_, entry);
    // The reader skips exactly what the entry declares, so the distance it
    // moved is the entry's whole length: its header and declared size.
    const std::uint64_t length = reader_offset(*reader_) - start;
    e.type = entry.type;
    e.vid_timestamp = entry.vid_timestamp;
    e.payload = entry.payload;
    switch (result) {
        case ReadResult::InvalidSize: e.problem = EntryProblem::ZeroSize; return true;
        case ReadResult::End:
            done_ = true;
            if (length == 0) return false;
            e.size = entry.size;  // declared; the header fields are zero when the header itself is cut
            e.problem = EntryProblem::CutOff;
            e.cut_bytes = length;
            return true;
        case ReadResult::Entry: break;
    }
    e.size = static_cast<std::uint16_t>(length - ENTRY_HEADER_SIZE);
    const std::size_t need = kind_min_size(e.type);
    if (need == 0) e.problem = EntryProblem::UnknownKind;
    else if (e.size > MAX_PAYLOAD) e.problem = EntryProblem::Oversize;
    else if (e.size < need) e.problem = EntryProblem::Undersize;
    return true;
}

}  // namespace tarvex::datview
