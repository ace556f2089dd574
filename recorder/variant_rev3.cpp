#include "variant.h"

namespace tarvex {

// Revision-3 build: the camera firmware's state bytes and idle code.
const RecorderVariant recorder_variant{3, 0xc0ab727a, 0xc0ab765a, 8};

}  // namespace tarvex
