// Patterns on the status output (pin 38), the recorder's only way to talk to the user.
#pragma once

namespace tarvex {

void signal_ack();            // 3 x (on 150 ms, off 150 ms), ends off
void signal_error();          // 10 x (on 50 ms, off 50 ms), ends off
void signal_accel_warning();  // 7 x (off 500 ms, on 100 ms), ends on

}  // namespace tarvex
