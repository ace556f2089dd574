#include "register_file_device.h"

namespace tarvex::sim {

RegisterFileDevice::RegisterFileDevice(std::uint8_t address, unsigned address_bytes, std::size_t size)
    : address_(address), address_bytes_(address_bytes), regs_(size, 0) {}

void RegisterFileDevice::begin(bool read) {
    ++transfers_;
    if (!read) pointer_bytes_seen_ = 0;
}

bool RegisterFileDevice::write(std::uint8_t byte) {
    if (pointer_bytes_seen_ < address_bytes_) {
        pointer_ = pointer_bytes_seen_ == 0 ? byte : ((pointer_ << 8) | byte);
        ++pointer_bytes_seen_;
        return true;
    }
    regs_[pointer_ % regs_.size()] = byte;
    pointer_ = (pointer_ + 1) % regs_.size();
    return true;
}

std::uint8_t RegisterFileDevice::read() {
    const std::uint8_t v = regs_[pointer_ % regs_.size()];
    pointer_ = (pointer_ + 1) % regs_.size();
    return v;
}

void RegisterFileDevice::stop() { ++stops_; }

}  // namespace tarvex::sim
