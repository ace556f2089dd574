// The summary line that says what a conversion achieved.
#include "run_outcome.h"

#include <array>
#include <cstdio>

#include "printable_name.h"

namespace tarvex {

void note_failure(RunOutcome& o, const std::string& text) {
    std::snprintf(o.failure.data(), o.failure.size(), "%s", text.c_str());
}

bool conversion_converted(const ConversionResult& r) {
    return r.exit_status == 0 && r.signal == 0 && converted_completely(r.outcome);
}

std::string summary_line(const std::string& log, const ConversionResult& r, const std::string& settings) {
    const RunOutcome& o = r.outcome;
    const std::int32_t chapters = o.chapters_written;
    const char* plural = chapters == 1 ? "" : "s";
    std::array<char, 160> what{};
    std::string line = printable_name(log) + ": ";
    if (r.signal != 0) {
        std::snprintf(what.data(), what.size(), "failed, the conversion was stopped by signal %d", r.signal);
        line += what.data();
    } else if (r.exit_status != 0) {
        std::snprintf(what.data(), what.size(), "failed, exit status %d (", r.exit_status);
        line += what.data() + printable_name(o.failure.data()) + ")";
    } else if (o.failure[0] != '\0') {
        line += "failed, " + printable_name(o.failure.data());
    } else if (!o.have_samples) {
        line += "failed, the log holds no samples";
    } else if (chapters == 0) {
        line += "failed, no chapter written (no video " +
                (o.next_chapter[0] != '\0' ? printable_name(o.next_chapter.data()) : "found for the log") + ")";
    } else if (const std::uint32_t left = ms_left_unconverted(o); left > LOG_PAST_VIDEO_ALLOWED_MS) {
        const std::uint32_t tenths = left / 100 + (left % 100 != 0 ? 1 : 0);  // rounded up: never "0.0 s"
        std::snprintf(what.data(), what.size(), "failed, %d chapter%s written, %u.%u s of log left unconverted",
                      chapters, plural, tenths / 10, tenths % 10);
        line += what.data();
        if (o.next_chapter[0] != '\0') line += " (no video " + printable_name(o.next_chapter.data()) + ")";
    } else {
        std::snprintf(what.data(), what.size(), "converted, %d chapter%s", chapters, plural);
        line += what.data();
    }
    return line + "; settings: " + printable_name(settings);
}

void print_summary_line(const std::string& log, const ConversionResult& r, const std::string& settings) {
    std::printf("%s\n", summary_line(log, r, settings).c_str());
}

}  // namespace tarvex
