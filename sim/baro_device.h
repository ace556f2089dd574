// Simulated pressure sensor (0xEE): calibration PROM, control register with
// conversion times, 24-bit result register. Raw readings are made from the
// scenario's true altitude (standard atmosphere) and temperature by inverting
// the sensor maker's compensation, so a correct driver reads the truth back.
#pragma once

#include <array>
#include <cstdint>

#include "i2c_slave.h"
#include "scenario.h"

namespace tarvex::sim {

// Faults a test can provoke on the next conversions of the kind named.
enum class BaroFault {
    SlowPressure,       // the conversion takes 30 ms: a read after the usual wait sees the old result
    ZeroPressure,       // the conversion yields 0
    UnsettledPressure,  // the result changes on every read until the next conversion starts
    ZeroTemperature,    // the conversion yields 0
    TemperatureSpike,   // the result is 300 counts too high
};

// Truth used when the scenario gives none.
inline constexpr double BARO_DEFAULT_ALTITUDE_FT = 0.0;
inline constexpr double BARO_DEFAULT_TEMPERATURE_C = 20.0;

class BaroDevice : public I2cSlave {
public:
    BaroDevice(const Scenario& scenario, const SimTime& time);

    std::uint8_t address() const override { return 0xEE; }
    void begin(bool read) override;
    bool write(std::uint8_t byte) override;
    std::uint8_t read() override;

    // The next `count` conversions of the fault's kind suffer `fault`.
    void inject(BaroFault fault, int count);

    // Raw values the sensor reports for a temperature (degC) and a pressure
    // (Pa), found by searching the compensation formulas.
    std::int32_t raw_temperature_for(double celsius) const;
    std::int32_t raw_pressure_for(double pascal, std::int32_t raw_temperature) const;

    // Standard atmosphere: Pa at a pressure altitude in ft.
    static double pressure_at_altitude(double feet);

private:
    struct Conversion {
        bool pending = false;
        bool pressure = false;
        std::uint8_t oversampling = 0;
        std::uint64_t start_us = 0;
        std::uint64_t done_us = 0;
        BaroFault fault{};
        bool faulty = false;
    };

    void start_conversion(std::uint8_t command);
    void finish_conversion_if_due();
    std::uint8_t register_value(std::uint8_t reg);

    const Scenario& scenario_;
    const SimTime& time_;
    std::array<std::uint16_t, 11> calibration_{};
    std::uint8_t pointer_ = 0;
    bool pointer_set_ = false;
    std::uint8_t control_ = 0;
    std::array<std::uint8_t, 3> result_{};  // 0xF6..0xF8
    Conversion conversion_;
    std::uint32_t unsettled_counter_ = 0;
    bool unsettled_ = false;
    BaroFault fault_{};
    int fault_count_ = 0;
};

}  // namespace tarvex::sim
