// `datview dump`: every entry of a log decoded, one line each, in file order:
// a table for people, or one JSON object per line for programs.
#pragma once

#include <cstdio>

namespace tarvex::datview {

enum class DumpFormat { Table, Json };

struct DumpOptions {
    DumpFormat format = DumpFormat::Table;
    bool high_g = false;  // 200 G accelerometer instead of 16 G
};

// Returns the exit status: 0, 1 when an entry is damaged, 2 when the log
// cannot be read.
int dump_log(std::FILE* out, const char* path, const DumpOptions& options);

}  // namespace tarvex::datview
