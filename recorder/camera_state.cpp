#include "hw.h"
#include "hw_windows.h"
#include "reg_access.h"
#include "variant.h"

namespace tarvex {

int camera_recording(int require_trigger) {
    if (!hw_windows.mapped) return 0;
    if (reg_read8(hw_windows.camera_state) != 0) return 0;
    if ((reg_read8(hw_windows.camera_flag) & 1u) == 0) return 0;
    // Only a camera that records is asked for the trigger input.
    if (require_trigger != 0 && gpio_get(PIN_REC_START) == 0) return 0;
    return 1;
}

int camera_idle() {
    if (!hw_windows.mapped) return 0;
    return reg_read8(hw_windows.camera_state) == recorder_variant.idle_value ? 1 : 0;
}

}  // namespace tarvex
