// Child-process conversions: one slow log must not hold the consoles and
// files of every later one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "log_jobs.h"
#include "test_support.h"

namespace tarvex {
namespace {

TEST(LogJobs, ASlowJobHoldsBackAtMostTheJobsAheadOfItAndResultsComeInOrder) {
    test::TempDir dir;
    const std::string first_done = dir.file("first.done");
    std::vector<LogJob> jobs(JOBS_AHEAD + 6);
    for (std::size_t i = 0; i < jobs.size(); ++i) jobs[i].args = {std::to_string(i)};
    // In the child: the first job is slow; a job more than JOBS_AHEAD after it
    // must not start before it has ended.
    const JobRunner run = [&](const LogJob& job, RunOutcome&) {
        const std::size_t i = std::stoul(job.args[0]);
        std::printf("job %zu\n", i);
        if (i == 0) {
            usleep(300000);
            test::write_file(first_done, "");
            return 0;
        }
        return i >= JOBS_AHEAD && !test::file_exists(first_done) ? 1 : 0;
    };
    std::vector<std::size_t> order;
    std::vector<int> statuses;
    const std::string console = test::capture_stdout([&] {
        run_log_jobs(
            jobs, {4, true}, run, [](std::size_t) {},
            [&](std::size_t i, const ConversionResult& r) {
                order.push_back(i);
                statuses.push_back(r.exit_status);
            });
    });
    std::string expected_console;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(order[i], i);
        EXPECT_EQ(statuses[i], 0) << "job " << i;
        expected_console += "job " + std::to_string(i) + "\n";
    }
    EXPECT_EQ(console, expected_console);
}

}  // namespace
}  // namespace tarvex
