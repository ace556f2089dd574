// Every load and store of a mapped hardware register goes through here. On
// the camera it is a plain volatile access (no system call); the simulated
// platform observes each access so its devices see every line change.
#pragma once

#include <cstdint>

namespace tarvex {

#if defined(TARVEX_DEVICE)
inline std::uint32_t reg_read32(const volatile std::uint32_t* p) { return *p; }
inline void reg_write32(volatile std::uint32_t* p, std::uint32_t v) { *p = v; }
inline std::uint8_t reg_read8(const volatile std::uint8_t* p) { return *p; }
#else
std::uint32_t reg_read32(const volatile std::uint32_t* p);
void reg_write32(volatile std::uint32_t* p, std::uint32_t v);
std::uint8_t reg_read8(const volatile std::uint8_t* p);
#endif

}  // namespace tarvex
