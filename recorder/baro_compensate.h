// The pressure sensor's fixed-point compensation: a sample's raw readings
// to temperature (0.1 degC) and pressure (Pa), temperature first.
#pragma once

#include "baro.h"

namespace tarvex {

void baro_compensate_temperature(const BaroCalibration& cal, BaroSample& s);
void baro_compensate_pressure(const BaroCalibration& cal, BaroSample& s);

}  // namespace tarvex
