// `datview info`: the health report, then the ride in numbers and its
// highlights (placed in the video chapters with -v); with --json all of it as
// one JSON object.
#pragma once

#include <cstdio>
#include <string>

#include "log_health.h"

namespace tarvex::datview {

struct InfoOptions {
    const char* settings_path = "settings.txt";  // as the converter: in the working folder
    const char* first_chapter = nullptr;         // places the highlights in the video when given
    bool high_g = false;                         // 200 G accelerometer instead of 16 G
    bool json = false;
};

// Prints the report; returns the health report's exit status (the ride
// section never changes it).
int info_command(std::FILE* out, const char* log_path, const InfoOptions& options);

// The health report's members as JSON ("file":..., ..., "verdict":...),
// without the braces.
std::string health_json_members(const char* path, const LogHealth& h);

}  // namespace tarvex::datview
