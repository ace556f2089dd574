// Loading the ground offset file: what "%d" reads from it, and in bounded memory.
#include <gtest/gtest.h>
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

// The number, then 50 MB of zero bytes: only the number may be read.
TEST_F(GroundOffsetFile, AHugeFileIsReadInBoundedMemory) {
    test::write_file(path(), "123");
    ASSERT_EQ(truncate(path().c_str(), 50 << 20), 0);
    EXPECT_TRUE(test::runs_in_bounded_memory([] { return load_ground_offset() == 123; }, 4096))
        << "the offset was not 123, or reading it grew the process by 4 MiB or more";
}

}  // namespace
}  // namespace tarvex
