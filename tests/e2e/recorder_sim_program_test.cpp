// The recorder-sim-revN programs as a user meets them: arguments, scenario
// errors, the status output on stderr, and the guard against a recorder that
// outlives its scenario.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "test_support.h"

namespace tarvex::test {
namespace {

class RecorderSimProgram : public testing::Test {
protected:
    void SetUp() override {
        if (!file_exists(program_)) GTEST_SKIP() << "recorder-sim-rev3 not built";
    }
    RunResult run(const std::string& scenario) {
        write_file(work_.file("scenario.txt"), scenario);
        return run_program({program_, work_.file("scenario.txt"), root_.path()}, work_.path());
    }

    const std::string program_ = binary_path("sim/recorder-sim-rev3");
    TempDir work_;
    TempDir root_;
};

TEST_F(RecorderSimProgram, ArgumentsAreCheckedBeforeAnythingRuns) {
    RunResult r = run_program({program_}, work_.path());
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.err, "usage: " + program_ + " SCENARIO ROOT\n");

    write_file(work_.file("s.txt"), "end 1\n");
    r = run_program({program_, work_.file("s.txt"), work_.file("no-such-folder")}, work_.path());
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.err, program_ + ": " + work_.file("no-such-folder") + " is not a folder\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(RecorderSimProgram, BadScenarioLineIsNamedAndNothingRuns) {
    const RunResult r = run("end 30\nrecord 5 4\n");
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.err, program_ + ": " + work_.file("scenario.txt") + ": line 2: record: end 4 is before start 5\n");
    EXPECT_EQ(r.out, "");
}

// Status changes, the patterns they make, and a closing line that says the
// recorder's exit is how the scenario ends.
TEST_F(RecorderSimProgram, StatusChangesSignalsAndTheScenariosEndAreLogged) {
    std::filesystem::create_directories(root_.path() + "/tmp");  // the log and a quiet hook
    write_file(root_.path() + "/tmp/process.sh", "true\n");
    const RunResult r = run("record 2 4\nend 6\n");
    EXPECT_EQ(r.exit_status, 255) << "the recorder leaves when the accessory is unplugged";
    EXPECT_NE(r.out.find("Unexpected accessory detected. Exiting.\n"), std::string::npos);
    const std::regex status("sim: [0-9]+\\.[0-9]{6} status [01]\n");
    std::size_t lines = 0;
    for (std::sregex_iterator it(r.err.begin(), r.err.end(), status), end; it != end; ++it) ++lines;
    EXPECT_GE(lines, 2u);
    // The start-up acknowledge, and the one after the recording, which
    // begins while the output is still on.
    const std::regex signal("sim: [0-9]+\\.[0-9]{6} signal ([a-z ]+)\n");
    std::string names;
    for (std::sregex_iterator it(r.err.begin(), r.err.end(), signal), end; it != end; ++it)
        names += (*it)[1].str() + ";";
    EXPECT_EQ(names, "acknowledge;acknowledge;");
    const std::string rest = std::regex_replace(std::regex_replace(r.err, status, ""), signal, "");
    EXPECT_TRUE(std::regex_match(rest, std::regex("sim: 6\\.[0-9]{6} scenario ended: the accessory was unplugged at "
                                                  "6\\.000000 s, so the recorder's \"Unexpected accessory detected\\. "
                                                  "Exiting\\.\" and exit status 255 are expected\n")))
        << "nothing else on stderr, and the closing line last: " << rest;
}

// ROOT given relative to the working folder: the hook and the log are still
// found once the camera's shell has moved into ROOT.
TEST_F(RecorderSimProgram, RelativeRootServesTheHookToo) {
    const std::string root = work_.file("root");
    std::filesystem::create_directories(root + "/tmp");
    write_file(root + "/tmp/process.sh", "stat -c %s tmp/datalog.bin > tmp/hook_saw\n");
    write_file(work_.file("scenario.txt"), "record 2 4\nend 8\n");
    const RunResult r = run_program({program_, work_.file("scenario.txt"), "root"}, work_.path());
    EXPECT_EQ(r.exit_status, 255) << r.err;
    ASSERT_TRUE(file_exists(root + "/tmp/hook_saw")) << r.out;
    EXPECT_EQ(read_file(root + "/tmp/hook_saw"), std::to_string(read_file(root + "/tmp/datalog.bin").size()) + "\n");
}

// A recording that outlasts the scenario's end by more than the margin: the
// recorder never gets to notice the unplugged accessory.
TEST_F(RecorderSimProgram, RecorderOutlivingTheScenarioEndsTheRun) {
    const RunResult r = run("record 1 500\nend 5\n");
    EXPECT_EQ(r.exit_status, 3);
    EXPECT_NE(r.err.find(program_ + ": the recorder was still running 60 simulated seconds after the scenario's end "
                                    "at 5.000000 s\n"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace tarvex::test
