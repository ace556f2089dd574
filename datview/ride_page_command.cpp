// The page command: the settings a conversion of the log uses, then the
// shared page writer; its one-line result goes to the console.
#include "ride_page_command.h"

#include <cstdio>

#include "log_health.h"
#include "log_settings.h"
#include "quiet_stdout.h"
#include "ride_page.h"
#include "settings.h"
#include "stdio_file.h"

namespace tarvex::datview {

int page_command(const PageOptions& o) {
    DatHeader header;
    {
        File f(std::fopen(o.log_path, "rb"));
        QuietStdout quiet;  // the header check's own lines; ours follows
        if (!f || read_dat_header(f.get(), header) != 0) {
            std::fprintf(stderr, "datview: %s: not a readable DAT log (see datview info)\n", o.log_path);
            return EXIT_UNUSABLE;
        }
    }
    Settings settings;
    {
        QuietStdout quiet;  // the settings dump is the converter's console, not ours
        settings_load(o.settings_path, settings);
    }
    settings_for_log(settings, header, nullptr);

    RidePageRequest request;
    request.log_path = o.log_path;
    request.out_path = o.out_path;
    request.settings_path = o.settings_path;
    request.first_chapter = o.first_chapter;
    if (o.first_chapter != nullptr) request.naming = chapter_naming(o.first_chapter, true);
    request.high_g = o.high_g;
    std::string message;
    const RidePageResult result = write_ride_page(request, settings, message);
    if (result == RidePageResult::Written) {
        std::printf("%s\n", message.c_str());
        return EXIT_OK;
    }
    std::fprintf(stderr, "datview: %s\n", message.c_str());
    return result == RidePageResult::NoSamples ? EXIT_PROBLEMS : EXIT_UNUSABLE;
}

}  // namespace tarvex::datview
