// `datview page` outside the browser (tests/datview/ride_page_browser.py
// checks the page itself): it never replaces one of its inputs, and text
// from the log cannot end the page's script early.

#include <gtest/gtest.h>

#include "datview_run.h"
#include "mp4_bytes.h"

namespace tarvex {
namespace {

TEST(Page, IsNeverWrittenOverAnInput) {
    test::DatLog log = test::log_of("TX-1");
    test::samples(log, 0, 300);  // 30 s: into the second chapter
    test::TempDir dir;
    const std::string chapter = test::mp4_file(20000);
    test::write_file(dir.file("GOPR0001.DAT"), log.bytes());
    test::write_file(dir.file("settings.txt"), "altitude = m\n");
    test::write_file(dir.file("GOPR0001.MP4"), chapter);
    test::write_file(dir.file("GP010001.MP4"), chapter);
    for (const char* input : {"GOPR0001.DAT", "settings.txt", "GOPR0001.MP4", "GP010001.MP4"}) {
        const std::string before = test::read_file(dir.file(input));
        const test::RunResult r = test::datview(dir, {"page", "GOPR0001.DAT", "-v", "GOPR0001.MP4", "-o", input});
        EXPECT_EQ(r.exit_status, 2) << input << r.out << r.err;
        EXPECT_EQ(test::read_file(dir.file(input)), before) << input;
    }
}

TEST(Page, LogTextCannotEndTheScript) {
    test::DatLog log = test::log_of("</script><b>");
    test::samples(log, 0, 20);
    test::TempDir dir;
    test::write_file(dir.file("log.dat"), log.bytes());
    const test::RunResult r = test::datview(dir, {"page", "log.dat", "-s", "none.txt", "-o", "ride.html"});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    const std::string page = test::read_file(dir.file("ride.html"));
    std::size_t ends = 0;
    for (std::size_t at = page.find("</script>"); at != std::string::npos; at = page.find("</script>", at + 1)) ++ends;
    EXPECT_EQ(ends, 2u);  // the data's and the program's
}

}  // namespace
}  // namespace tarvex
