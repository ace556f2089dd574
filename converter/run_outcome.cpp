// The summary line that says what a conversion achieved.
#include "run_outcome.h"

#include <cstdio>

namespace tarvex {

void note_failure(RunOutcome& o, const std::string& text) {
    std::snprintf(o.failure.data(), o.failure.size(), "%s", text.c_str());
}

bool conversion_converted(const ConversionResult& r) {
    return r.exit_status == 0 && r.signal == 0 && converted_completely(r.outcome);
}

void print_summary_line(const std::string& log, const ConversionResult& r, const std::string& settings) {
    const RunOutcome& o = r.outcome;
    const char* name = log.c_str();
    const std::int32_t chapters = o.chapters_written;
    const char* plural = chapters == 1 ? "" : "s";
    if (r.signal != 0) {
        std::printf("%s: failed, the conversion was stopped by signal %d", name, r.signal);
    } else if (r.exit_status != 0) {
        std::printf("%s: failed, exit status %d (%s)", name, r.exit_status, o.failure.data());
    } else if (!o.have_samples) {
        std::printf("%s: failed, the log holds no samples", name);
    } else if (chapters == 0) {
        std::printf("%s: failed, no chapter written (no video %s)", name,
                    o.next_chapter[0] != '\0' ? o.next_chapter.data() : "found for the log");
    } else if (const std::uint32_t left = ms_left_unconverted(o); left > 0) {
        const std::uint32_t tenths = left / 100 + (left % 100 != 0 ? 1 : 0);  // rounded up: never "0.0 s"
        std::printf("%s: failed, %d chapter%s written, %u.%u s of log left unconverted", name, chapters, plural,
                    tenths / 10, tenths % 10);
        if (o.next_chapter[0] != '\0') std::printf(" (no video %s)", o.next_chapter.data());
    } else {
        std::printf("%s: converted, %d chapter%s", name, chapters, plural);
    }
    std::printf("; settings: %s\n", settings.c_str());
}

}  // namespace tarvex
