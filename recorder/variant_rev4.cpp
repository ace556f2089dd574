#include "variant.h"

namespace tarvex {

// Revision-4 build: the camera firmware's state bytes and idle code.
const RecorderVariant recorder_variant{4, 0xc0ad717a, 0xc0ada612, 8};

}  // namespace tarvex
