// The camera's recording and idle tests on its firmware's state bytes.
#include "camera_state.h"

#include "gpio.h"
#include "hw_map.h"
#include "reg_access.h"
#include "variant.h"

namespace tarvex {

bool camera_recording(bool require_trigger) {
    if (!hw_windows.mapped) return false;
    if (reg_read8(hw_windows.camera_state) != 0) return false;
    if ((reg_read8(hw_windows.camera_flag) & 1u) == 0) return false;
    // Only a camera that records is asked for the trigger input.
    return !require_trigger || gpio_get(PIN_REC_START) != 0;
}

bool camera_idle() {
    if (!hw_windows.mapped) return false;
    return reg_read8(hw_windows.camera_state) == recorder_variant.idle_value;
}

}  // namespace tarvex
