#include "i2c_bus_model.h"

namespace tarvex::sim {

void I2cBusModel::attach(std::unique_ptr<I2cSlave> device) {
    by_address_[device->address() >> 1] = device.get();
    devices_.push_back(std::move(device));
}

void I2cBusModel::drop_last_sample() {
    if (!trace_.empty() && (trace_.back() == BusEvent::Sample0 || trace_.back() == BusEvent::Sample1)) {
        trace_.pop_back();
    }
}

void I2cBusModel::set_master(bool sda_low, bool scl_low) {
    if (tracing_) {
        if (sda_low != master_sda_low_) trace_.push_back(sda_low ? BusEvent::SdaLow : BusEvent::SdaRelease);
        if (scl_low != master_scl_low_) trace_.push_back(scl_low ? BusEvent::SclLow : BusEvent::SclRelease);
    }
    // The recorder changes one line per register write, so the two edges
    // never coincide; SCL is handled first should they ever do.
    const bool scl_before = scl();
    master_scl_low_ = scl_low;
    if (scl() != scl_before) {
        if (scl()) {
            on_scl_rise();
        } else {
            on_scl_fall();
        }
    }
    const bool sda_before = sda();
    master_sda_low_ = sda_low;
    const bool sda_now = sda();
    if (sda_now != sda_before && scl()) {
        if (sda_now) {
            on_stop();
        } else {
            on_start();
        }
    }
}

void I2cBusModel::end_transfer() {
    if (active_ != nullptr) active_->stop();
    active_ = nullptr;
    device_sda_low_ = false;
}

void I2cBusModel::on_start() {
    ++starts_;
    end_transfer();  // a repeated START cuts the previous transfer
    phase_ = Phase::Address;
    shift_ = 0;
    bits_ = 0;
}

void I2cBusModel::on_stop() {
    ++stops_;
    end_transfer();
    phase_ = Phase::Idle;
}

// The receiving side samples SDA while SCL is high.
void I2cBusModel::on_scl_rise() {
    switch (phase_) {
        case Phase::Address:
        case Phase::Receive:
            if (bits_ < 8) {
                shift_ = static_cast<std::uint8_t>((shift_ << 1) | (sda() ? 1 : 0));
                ++bits_;
            }
            break;
        case Phase::Transmit:
            ++bits_;  // the master samples this bit now
            break;
        case Phase::MasterAck: master_acked_ = !sda(); break;
        default: break;
    }
}

// The transmitting side changes SDA only while SCL is low.
void I2cBusModel::on_scl_fall() {
    switch (phase_) {
        case Phase::Address:
            if (bits_ < 8) break;
            active_ = by_address_[shift_ >> 1];
            if (active_ == nullptr) {
                phase_ = Phase::Ignore;  // no acknowledge: SDA stays high
                break;
            }
            reading_ = (shift_ & 1u) != 0;
            active_->begin(reading_);
            device_sda_low_ = true;
            phase_ = Phase::AddressAck;
            break;
        case Phase::Receive:
            if (bits_ < 8) break;
            device_sda_low_ = active_->write(shift_);
            phase_ = Phase::ReceiveAck;
            break;
        case Phase::AddressAck:
        case Phase::ReceiveAck:
            device_sda_low_ = false;
            bits_ = 0;
            shift_ = 0;
            if (reading_) {
                shift_ = active_->read();
                device_sda_low_ = (shift_ & 0x80u) == 0;
                phase_ = Phase::Transmit;
            } else {
                phase_ = Phase::Receive;
            }
            break;
        case Phase::Transmit:
            if (bits_ < 8) {
                device_sda_low_ = ((shift_ >> (7 - bits_)) & 1u) == 0;
            } else {
                device_sda_low_ = false;  // hand SDA to the master for its acknowledge
                master_acked_ = false;
                phase_ = Phase::MasterAck;
            }
            break;
        case Phase::MasterAck:
            if (master_acked_) {
                bits_ = 0;
                shift_ = active_->read();
                device_sda_low_ = (shift_ & 0x80u) == 0;
                phase_ = Phase::Transmit;
            } else {
                phase_ = Phase::Ignore;  // NACK: the device lets go until STOP
            }
            break;
        case Phase::Idle:
        case Phase::Ignore: break;
    }
}

}  // namespace tarvex::sim
