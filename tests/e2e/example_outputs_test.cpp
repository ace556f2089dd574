// Each bundled example converted afresh must give its committed reference
// outputs (examples/<example>/expected/) byte for byte, and no other file.
// scripts/example_expected.sh regenerates them after an intended change.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "test_support.h"

namespace tarvex::test {
namespace {

namespace fs = std::filesystem;

std::set<std::string> names_in(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

struct Example {
    const char* folder;
    const char* log;
    const char* first_chapter;
};

TEST(ExampleOutputs, ConversionMatchesTheCommittedReference) {
    for (const Example& ex :
         {Example{"outing", "datalog.bin", "GOPR0042.MP4"}, Example{"ride", "GOPR0077.DAT", "GOPR0077.MP4"}}) {
        SCOPED_TRACE(ex.folder);
        const std::string example = source_path(std::string("examples/") + ex.folder);
        const std::string expected = example + "/expected";
        TempDir dir;
        for (const auto& e : fs::directory_iterator(example)) {
            if (e.is_regular_file()) fs::copy_file(e.path(), dir.file(e.path().filename().string()));
        }
        const std::set<std::string> inputs = names_in(dir.path());

        setenv("TZ", "UTC", 1);  // the CSV heading's recording date is local time
        const RunResult r =
            run_program({binary_path("converter/converter"), ex.log, "-v", ex.first_chapter}, dir.path());
        ASSERT_EQ(r.exit_status, 0) << r.out;

        std::set<std::string> written;
        for (const std::string& name : names_in(dir.path())) {
            if (inputs.count(name) == 0) written.insert(name);
        }
        EXPECT_EQ(written, names_in(expected));
        for (const std::string& name : names_in(expected)) {
            EXPECT_TRUE(read_file(dir.file(name)) == read_file(expected + "/" + name))
                << name << " differs from " << expected << "/" << name;
        }
    }
}

}  // namespace
}  // namespace tarvex::test
