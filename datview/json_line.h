// Builds one JSON object on one line, field by field, for `datview dump
// --json`. Numbers are printed with printf; doubles never NaN or infinite
// here (every value comes from an integer field).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "text_format.h"

namespace tarvex::datview {

class JsonLine {
public:
    JsonLine() { text_ = "{"; }

    JsonLine& str(const char* key, std::string_view v) {
        start(key);
        text_ += '"';
        text_ += json_escape(v);
        text_ += '"';
        return *this;
    }
    JsonLine& num(const char* key, std::int64_t v) {
        start(key);
        text_ += std::to_string(v);
        return *this;
    }
    JsonLine& unum(const char* key, std::uint64_t v) {
        start(key);
        text_ += std::to_string(v);
        return *this;
    }
    // `places` decimals; a value that rounds to zero never prints as "-0.0".
    JsonLine& real(const char* key, double v, int places) {
        start(key);
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*f", places, v);
        const std::string_view t(buf);
        const bool negative_zero = t[0] == '-' && t.find_first_not_of("0.", 1) == std::string_view::npos;
        text_ += negative_zero ? t.substr(1) : t;
        return *this;
    }
    JsonLine& null(const char* key) {
        start(key);
        text_ += "null";
        return *this;
    }
    JsonLine& open(const char* key) {
        start(key);
        text_ += '{';
        first_ = true;
        return *this;
    }
    JsonLine& close() {
        text_ += '}';
        first_ = false;
        return *this;
    }
    std::string line() const { return text_ + "}\n"; }

private:
    void start(const char* key) {
        if (!first_) text_ += ',';
        first_ = false;
        text_ += '"';
        text_ += key;
        text_ += "\":";
    }
    std::string text_;
    bool first_ = true;
};

}  // namespace tarvex::datview
