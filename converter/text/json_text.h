// JSON string text for names that come from the user's paths and logs: any
// byte gives valid JSON (bytes outside printable ASCII as \u00XX, read as
// Latin-1). Shared by datview's reports, the ride statistics and the ride page.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

// Where the text goes: plain JSON, or JSON inside an HTML <script> element,
// where '<', '>' and '&' are escaped too so that no "</script>" can appear.
enum class JsonPlace { Plain, HtmlScript };

// The escaped characters of `s`, without the quotes.
std::string json_escape(std::string_view s, JsonPlace place = JsonPlace::Plain);
// `s` as a JSON string, quotes included.
inline std::string json_quoted(std::string_view s, JsonPlace place = JsonPlace::Plain) {
    return "\"" + json_escape(s, place) + "\"";
}

}  // namespace tarvex
