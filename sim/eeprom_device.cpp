#include "eeprom_device.h"

#include <algorithm>

namespace tarvex::sim {

namespace {
constexpr std::uint64_t WRITE_CYCLE_US = 5000;
constexpr std::uint8_t ERASED = 0xFF;
}  // namespace

EepromDevice::EepromDevice(std::uint8_t address, std::size_t size, bool wide_addressing,
                           const std::vector<std::uint8_t>& contents, bool write_fail, const SimTime& time)
    : address_(address), wide_(wide_addressing), write_fail_(write_fail), time_(time), memory_(size, ERASED) {
    std::copy_n(contents.begin(), std::min(contents.size(), size), memory_.begin());
}

bool EepromDevice::busy() const { return time_.now_us() < busy_until_us_; }

void EepromDevice::begin(bool read) {
    // A read straight after a transfer that carried data bytes: that transfer
    // was cut by a repeated START (after a real STOP the part would be busy
    // programming and not answer), so nothing was programmed.
    if (read && undo_) {
        for (auto it = undo_->old_bytes.rbegin(); it != undo_->old_bytes.rend(); ++it) memory_[it->first] = it->second;
        busy_until_us_ = undo_->busy_until_us;
    }
    undo_.reset();
    pending_.clear();
    if (!read) address_bytes_seen_ = 0;
}

bool EepromDevice::write(std::uint8_t byte) {
    if (busy()) return false;
    const int address_bytes = wide_ ? 2 : 1;
    if (address_bytes_seen_ < address_bytes) {
        if (wide_ && address_bytes_seen_ == 0) pointer_ = static_cast<std::size_t>(byte) << 8;
        else if (wide_) pointer_ |= byte;
        else pointer_ = byte;
        pointer_ %= memory_.size();
        ++address_bytes_seen_;
        return true;
    }
    // Data byte: latched now, programmed at STOP; the counter moves on.
    pending_.emplace_back(pointer_, byte);
    pointer_ = (pointer_ + 1) % memory_.size();
    return true;
}

std::uint8_t EepromDevice::read() {
    if (busy()) return ERASED;  // not answering: the bus floats high
    const std::uint8_t value = memory_[pointer_];
    pointer_ = (pointer_ + 1) % memory_.size();
    return value;
}

void EepromDevice::stop() {
    if (pending_.empty()) return;
    Undo undo{{}, busy_until_us_};
    for (const auto& [at, value] : pending_) {
        undo.old_bytes.emplace_back(at, memory_[at]);
        if (!write_fail_) memory_[at] = value;
    }
    undo_ = std::move(undo);
    pending_.clear();
    busy_until_us_ = time_.now_us() + WRITE_CYCLE_US;
}

}  // namespace tarvex::sim
