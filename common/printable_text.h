// Text that comes from outside the program (a unit's serial number from its
// EEPROM or from a log header) made safe to print in a line of the console,
// a text file, a CSV heading or XML: a control byte would break the line or
// the file's layout, so every byte that is not printable ASCII shows as '?'.
#pragma once

#include <cstddef>

namespace tarvex {

// Printable ASCII: space to '~'. Control bytes, DEL and bytes of 0x80 and
// above (a blank EEPROM reads 0xFF) are not.
constexpr bool is_printable_ascii(unsigned char c) { return c >= 0x20 && c <= 0x7E; }

// Copies `text` up to its first NUL, but at most `max_len` bytes, into `out`
// (max_len + 1 bytes), every byte that is not printable ASCII replaced by
// '?', and terminates it. Returns `out`.
inline char* printable_copy(char* out, const char* text, std::size_t max_len) {
    std::size_t i = 0;
    for (; i < max_len && text[i] != '\0'; ++i) {
        out[i] = is_printable_ascii(static_cast<unsigned char>(text[i])) ? text[i] : '?';
    }
    out[i] = '\0';
    return out;
}

}  // namespace tarvex
