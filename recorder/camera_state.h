// What the camera is doing, read from its firmware's state and flag bytes
// (their addresses and the idle value come from the build's variant).
#pragma once

namespace tarvex {

// The camera records: state byte 0 and bit 0 of the flag byte set; with
// `require_trigger`, pin 45 must read 1 as well. False before hw_map.
bool camera_recording(bool require_trigger);
// The state byte holds the variant's idle value. False before hw_map.
bool camera_idle();

}  // namespace tarvex
