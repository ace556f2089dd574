// A minimal SVG writer: a self-contained document (inline style, no external
// assets), elements written to an output file's text buffer, every text and attribute
// value XML-escaped on the way out.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "text_out.h"

namespace tarvex::datview {

class SvgWriter {
public:
    // `out` stays owned by the caller. Writes the root element and `css`.
    SvgWriter(TextOut& out, int width, int height, std::string_view title, std::string_view css);
    // Writes the closing tag; the caller checks its output file for errors.
    void finish();

    void line(double x1, double y1, double x2, double y2, const char* cls);
    void rect(double x, double y, double w, double h, const char* cls);
    // `d` is path data made by the caller from numbers only.
    void path(const std::string& d, const char* cls);
    void text(double x, double y, std::string_view s, const char* cls, const char* anchor = "start");

private:
    __attribute__((format(printf, 2, 3))) void print(const char* fmt, ...);

    TextOut& out_;
};

}  // namespace tarvex::datview
