// Matching a command-line word against an option's names: the converter's
// single-log and card command lines and datview's share it.
#pragma once

#include <cstring>

namespace tarvex {

// True when `arg` is the option's short or (if any) long name.
inline bool is_option(const char* arg, const char* short_form, const char* long_form = nullptr) {
    return std::strcmp(arg, short_form) == 0 || (long_form != nullptr && std::strcmp(arg, long_form) == 0);
}

}  // namespace tarvex
