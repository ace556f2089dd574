#pragma once

namespace tarvex {

// The maker's web address: CSV title, GPX creator and the recorder's banner.
inline constexpr const char* MAKER_WEB_ADDRESS = "https://tarvex.example";

}  // namespace tarvex
