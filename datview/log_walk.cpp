// Entry framing for datview's own reading of a log. It mirrors the
// converter's entry reader so that what datview reports is what a conversion
// sees, and adds offsets and declared sizes for the reports.
#include "log_walk.h"

#include "byte_order.h"

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
    std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
    std::array<std::uint8_t, DAT_HEADER_SIZE> b{};
    if (std::fread(b.data(), 1, b.size(), file_) != b.size()) {
        status_ = HeaderStatus::Short;
        return;
    }
    header_ = decode_dat_header(b.data());
    if (header_.magic != DAT_MAGIC) status_ = HeaderStatus::BadMagic;
    else if (header_.version != DAT_VERSION) status_ = HeaderStatus::BadVersion;
    else status_ = HeaderStatus::Ok;
}

LogWalk::~LogWalk() {
    if (file_ != nullptr) std::fclose(file_);
}

bool LogWalk::next(WalkedEntry& e) {
    if (done_ || status_ != HeaderStatus::Ok) return false;
    e = WalkedEntry{};
    e.offset = offset_;
    std::array<std::uint8_t, ENTRY_HEADER_SIZE> h{};
    const std::size_t got = std::fread(h.data(), 1, h.size(), file_);
    if (got != h.size()) {
        done_ = true;
        if (got == 0) return false;
        e.problem = EntryProblem::CutOff;
        e.cut_bytes = got;
        return true;
    }
    e.type = load_le16(&h[0]);
    e.size = load_le16(&h[2]);
    e.vid_timestamp = load_le32(&h[4]);
    offset_ += ENTRY_HEADER_SIZE;
    if (e.size == 0) {
        e.problem = EntryProblem::ZeroSize;
        return true;
    }
    const std::size_t keep = e.size < MAX_PAYLOAD ? e.size : MAX_PAYLOAD;
    std::size_t read = std::fread(e.payload.data(), 1, keep, file_);
    for (std::size_t left = e.size - keep; read == keep && left > 0;) {
        std::array<std::uint8_t, 256> scratch;
        const std::size_t n = left < scratch.size() ? left : scratch.size();
        const std::size_t r = std::fread(scratch.data(), 1, n, file_);
        read += r;
        if (r != n) break;
        left -= n;
    }
    if (read != e.size) {
        done_ = true;
        e.problem = EntryProblem::CutOff;
        e.cut_bytes = ENTRY_HEADER_SIZE + read;
        return true;
    }
    offset_ += e.size;
    const std::size_t need = kind_min_size(e.type);
    if (need == 0) e.problem = EntryProblem::UnknownKind;
    else if (e.size > MAX_PAYLOAD) e.problem = EntryProblem::Oversize;
    else if (e.size < need) e.problem = EntryProblem::Undersize;
    return true;
}

}  // namespace tarvex::datview
