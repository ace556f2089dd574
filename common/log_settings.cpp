#include "log_settings.h"

#include "filter_presets.h"

namespace tarvex {

void settings_for_log(Settings& settings, const DatHeader& header, std::FILE* console) {
    resolve_filter_presets(settings, header.hw_revision, console);
    if (header.expander_id == EXPANDER_GPS) {
        settings.gps_lag = settings.gps_hw_lag;
        if (console != nullptr)
            std::fprintf(console, "Hardware GPS detected - using gpw_hw_lag value for GPS offset: %d ms\n",
                         settings.gps_lag);
    }
}

}  // namespace tarvex
