#include "progress.hpp"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(ProgressLine, GroupsTheCountsAndEstimatesTheTimeLeft)
{
    const struct {
        std::int64_t done, total;
        std::chrono::steady_clock::duration elapsed;
        const char* line;
    } cases[] = {
        {1234567890, 4294967296, seconds(26),
         "grisalturas: 1,234,567,890 of 4,294,967,296 rows (28%), about 1 min left"},
        {0, 999, seconds(2), "grisalturas: 0 of 999 rows (0%)"},
        {500, 1000, milliseconds(1500), "grisalturas: 500 of 1,000 rows (50%), about 2 s left"},
        {1000, 1000, seconds(9), "grisalturas: 1,000 of 1,000 rows (100%), about 0 s left"},
        {1, 4294967296, seconds(1), "grisalturas: 1 of 4,294,967,296 rows (0%), about 1193046 h left"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(progress_line(c.done, c.total, c.elapsed), c.line);
    }
}

}  // namespace
