// Card mode: every sensor log on a camera card converted beside its video
// chapters in one command, with a summary line per log and a total.
#pragma once

namespace tarvex {

// Exit statuses of card mode (and of --strict where it adds one).
inline constexpr int EXIT_ALL_CONVERTED = 0;
inline constexpr int EXIT_NOT_ALL_CONVERTED = 1;  // a log failed or was left partly unconverted
inline constexpr int EXIT_NO_LOGS = 2;            // the folder holds no sensor log, or cannot be read
inline constexpr int EXIT_USAGE = 255;

// converter --card DIR [-s settings_file] [-a number] [-g]; argv[1] is "--card".
int card_main(int argc, char** argv);

// The single-log command with --strict taken out of `argv`: the same run and
// console, then the summary line; non-zero where card mode counts a failure.
int strict_main(int argc, char** argv);

}  // namespace tarvex
