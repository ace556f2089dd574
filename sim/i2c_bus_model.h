// The accessory's open-drain I2C bus: SDA and SCL are low when any party
// pulls them low, else high. The master is the recorder (its GPIO drive is
// handed in by the GPIO model); the devices are byte-level I2cSlave models,
// driven from the START, STOP and SCL edges decoded here.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "i2c_slave.h"

namespace tarvex::sim {

// What a logic analyser on the master's side records: the master's drive of
// each line, its bit delays and its samples of SDA (with the level seen).
enum class BusEvent : std::uint8_t {
    Delay,
    SdaLow,
    SdaRelease,
    SclLow,
    SclRelease,
    Sample0,
    Sample1,
};

class I2cBusModel {
public:
    void attach(std::unique_ptr<I2cSlave> device);

    // The master's drive changed (true: pulls the line low).
    void set_master(bool sda_low, bool scl_low);
    bool sda() const { return !(master_sda_low_ || device_sda_low_); }
    bool scl() const { return !master_scl_low_; }  // devices never stretch the clock

    // Trace of the master's bus activity, off by default (the bus is hot).
    void set_tracing(bool on) { tracing_ = on; }
    bool tracing() const { return tracing_; }
    void note(BusEvent e) {
        if (tracing_) trace_.push_back(e);
    }
    void drop_last_sample();  // the read was the first half of a read-modify-write
    const std::vector<BusEvent>& trace() const { return trace_; }
    void clear_trace() { trace_.clear(); }

    // Counts of decoded conditions, for tests and diagnostics.
    std::uint64_t starts() const { return starts_; }
    std::uint64_t stops() const { return stops_; }

private:
    enum class Phase : std::uint8_t {
        Idle,        // no transfer: waiting for START
        Address,     // shifting in the address byte
        AddressAck,  // ninth clock after the address byte
        Receive,     // shifting in a data byte written by the master
        ReceiveAck,  // ninth clock after a written byte
        Transmit,    // a device shifts a byte out
        MasterAck,   // ninth clock after a transmitted byte: the master's ACK or NACK
        Ignore,      // nobody addressed, or the master said NACK: wait for START/STOP
    };

    void on_start();
    void on_stop();
    void on_scl_rise();
    void on_scl_fall();
    void end_transfer();

    std::array<I2cSlave*, 128> by_address_{};
    std::vector<std::unique_ptr<I2cSlave>> devices_;

    bool master_sda_low_ = false;
    bool master_scl_low_ = false;
    bool device_sda_low_ = false;

    Phase phase_ = Phase::Idle;
    I2cSlave* active_ = nullptr;
    bool reading_ = false;
    bool master_acked_ = false;
    std::uint8_t shift_ = 0;
    unsigned bits_ = 0;

    bool tracing_ = false;
    std::vector<BusEvent> trace_;
    std::uint64_t starts_ = 0;
    std::uint64_t stops_ = 0;
};

}  // namespace tarvex::sim
