#include "filter_presets.h"

#include <cstdio>

namespace tarvex {

namespace {

// Sample counts for the levels low, medium, high, in that order.
constexpr std::int32_t presets_rev5[3] = {6, 12, 24};
constexpr std::int32_t presets_other[3] = {1, 3, 6};

void resolve_level(std::int32_t& field, const std::int32_t (&column)[3]) {
    if (field <= filter_level::LOW && field >= filter_level::HIGH) field = column[filter_level::LOW - field];
}

}  // namespace

void resolve_filter_presets(Settings& settings, std::uint32_t hw_revision, std::FILE* console) {
    const auto& column = hw_revision == 5 ? presets_rev5 : presets_other;
    resolve_level(settings.alt_filter, column);
    resolve_level(settings.accel_filter, column);
    if (settings.alt_filter < 0) {
        if (console != nullptr) std::fputs("BUG: Invalid alt filter value! Confused, but will continue.\n", console);
        settings.alt_filter = 0;
    }
    if (settings.accel_filter < 0) {
        if (console != nullptr) std::fputs("BUG: Invalid accel filter value! Confused, but will continue.\n", console);
        settings.accel_filter = 0;
    }
    if (console != nullptr)
        std::fprintf(console, "Filter preset lookup: alt: %d, accel: %d\n", settings.alt_filter, settings.accel_filter);
}

}  // namespace tarvex
