// The page command: the settings file, then the shared page writer (which
// makes them the log's as a conversion does); its one-line result goes to
// the console.
#include "ride_page_command.h"

#include <cstdio>

#include "log_health.h"
#include "quiet_stdout.h"
#include "ride_page.h"
#include "settings.h"

namespace tarvex::datview {

int page_command(const PageOptions& o) {
    Settings settings;
    {
        QuietStdout quiet;  // the settings dump is the converter's console, not ours
        settings_load(o.settings_path, settings);
    }
    RidePageRequest request;
    request.log_path = o.log_path;
    request.out_path = o.out_path;
    request.settings_path = o.settings_path;
    request.first_chapter = o.first_chapter;
    if (o.first_chapter != nullptr) request.naming = chapter_naming(o.first_chapter, true);
    request.high_g = o.high_g;
    std::string message;
    RidePageResult result;
    {
        QuietStdout quiet;  // a damaged chapter file's probe messages: the result line says enough
        result = write_ride_page(request, settings, message);
    }
    if (result == RidePageResult::Written) {
        std::printf("%s\n", message.c_str());
        return EXIT_OK;
    }
    std::fprintf(stderr, "datview: %s\n", message.c_str());
    return result == RidePageResult::NoSamples ? EXIT_PROBLEMS : EXIT_UNUSABLE;
}

}  // namespace tarvex::datview
