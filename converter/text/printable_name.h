// A name from the card or the command line (a path may hold any byte but
// NUL) made safe to show in one line of the console: a newline, an escape
// sequence or a broken UTF-8 sequence in a folder's name would otherwise
// split a summary line or garble the terminal.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

// `raw` with control bytes, DEL, bytes that do not form valid UTF-8 and the
// backslash (so that the escapes stay unambiguous) written as \xNN and \\;
// valid UTF-8 text is kept as it is.
std::string printable_name(std::string_view raw);

}  // namespace tarvex
