// Loading the ground offset file: what "%d" reads from it, and in bounded memory.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "ground_offset.h"
#include "sim_fixture.h"

namespace tarvex {
namespace {

class GroundOffsetFile : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(cam.root() + "/tmp/fuse_d"); }
    std::string path() const { return cam.root() + "/tmp/fuse_d/alt_offset.txt"; }
    test::SimCamera cam;
};

TEST_F(GroundOffsetFile, ReadsOneNumberSaturatingAtThe32BitLimits) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {" \n\t-57 feet", -57},
        {"+12", 12},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"-2147483648", INT32_MIN},
        {"-99999999999999999999", INT32_MIN},
        {"- 5", 0},
        {"", 0},
    };
    for (const auto& [content, value] : cases) {
        test::write_file(path(), content);
        std::int32_t got = 0;
        test::capture_stdout([&] { got = load_ground_offset(); });
        EXPECT_EQ(got, value) << '"' << content << '"';
    }
}

// The number, then 50 MB of zero bytes: only the number may be read. The peak
// resident size is measured in a child, whose high-water mark starts at its
// size when forked.
TEST_F(GroundOffsetFile, AHugeFileIsReadInBoundedMemory) {
    test::write_file(path(), "123");
    ASSERT_EQ(truncate(path().c_str(), 50 << 20), 0);
    std::fflush(stdout);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const std::int32_t offset = load_ground_offset();
        getrusage(RUSAGE_SELF, &after);
        _exit(offset == 123 && after.ru_maxrss - before.ru_maxrss < 4096 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the offset was not 123, or reading it grew the process by 4 MiB or more";
}

}  // namespace
}  // namespace tarvex
