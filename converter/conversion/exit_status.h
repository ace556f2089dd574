// The converter's exit statuses, for every command line it takes. A script
// tells from them whether to run again, free space or give up on an input.
#pragma once

namespace tarvex {

// Everything asked was done: the log converted, or each log of the card.
inline constexpr int EXIT_CONVERTED = 0;
// --card, --strict: a log failed or was left partly unconverted.
inline constexpr int EXIT_NOT_ALL_CONVERTED = 1;
// --card: the folder holds no sensor log, or cannot be read.
inline constexpr int EXIT_NO_LOGS = 2;
// An output could not be written (full card, removed card, file size limit):
// the I/O error code of sysexits.h, distinct from EXIT_FATAL, so that a
// script can tell "free some space and run again" from "this input is
// unusable".
inline constexpr int EXIT_WRITE_FAILED = 74;
// A wrong command line, an unreadable or unusable log, or an output that
// must exist and cannot be opened.
inline constexpr int EXIT_FATAL = 255;

}  // namespace tarvex
