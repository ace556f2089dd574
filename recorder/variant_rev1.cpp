#include "variant.h"

namespace tarvex {

// Revision-1 build: the camera firmware's state bytes and idle code.
const RecorderVariant recorder_variant{1, 0xc08e66a9, 0xc09df8aa, 7};

}  // namespace tarvex
