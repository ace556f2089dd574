// SVG output. Coordinates carry one decimal: a tenth of a pixel is finer
// than any screen shows, and it keeps long plots small.
#include "svg_writer.h"

#include <cstdarg>

#include "text_format.h"

namespace tarvex::datview {

SvgWriter::SvgWriter(TextOut& out, int width, int height, std::string_view title, std::string_view css) : out_(out) {
    print("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    print(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%d\" height=\"%d\" "
        "viewBox=\"0 0 %d %d\">\n",
        width, height, width, height);
    print("<title>%s</title>\n", xml_escape(title).c_str());
    print("<style>%s</style>\n", xml_escape(css).c_str());
    print("<rect x=\"0\" y=\"0\" width=\"%d\" height=\"%d\" class=\"page\"/>\n", width, height);
}

void SvgWriter::print(const char* fmt, ...) {
    std::va_list ap;
    va_start(ap, fmt);
    out_.vprintf(fmt, ap);
    va_end(ap);
}

void SvgWriter::finish() { print("</svg>\n"); }

void SvgWriter::line(double x1, double y1, double x2, double y2, const char* cls) {
    print("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" class=\"%s\"/>\n", x1, y1, x2, y2,
          xml_escape(cls).c_str());
}

void SvgWriter::rect(double x, double y, double w, double h, const char* cls) {
    print("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" class=\"%s\"/>\n", x, y, w, h,
          xml_escape(cls).c_str());
}

void SvgWriter::path(const std::string& d, const char* cls) {
    if (d.empty()) return;
    print("<path class=\"%s\" d=\"%s\"/>\n", xml_escape(cls).c_str(), xml_escape(d).c_str());
}

void SvgWriter::text(double x, double y, std::string_view s, const char* cls, const char* anchor) {
    print("<text x=\"%.1f\" y=\"%.1f\" class=\"%s\" text-anchor=\"%s\">%s</text>\n", x, y, xml_escape(cls).c_str(),
          xml_escape(anchor).c_str(), xml_escape(s).c_str());
}

}  // namespace tarvex::datview
