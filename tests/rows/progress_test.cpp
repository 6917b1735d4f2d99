#include "rows/progress.hpp"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(ProgressLine, GroupsTheCountsEstimatesTheTimeLeftAndFitsTheWidth)
{
    constexpr std::size_t wide = 200;
    const struct {
        std::int64_t done, total;
        std::chrono::steady_clock::duration elapsed;
        std::size_t width;
        const char* line;
    } cases[] = {
        {1234567890, 4294967296, seconds(26), wide,
         "grisalturas: 1,234,567,890 of 4,294,967,296 rows (28%), about 1 min left"},
        {0, 999, seconds(2), wide, "grisalturas: 0 of 999 rows (0%)"},
        {500, 1000, milliseconds(1500), wide, "grisalturas: 500 of 1,000 rows (50%), about 2 s left"},
        {1000, 1000, seconds(9), wide, "grisalturas: 1,000 of 1,000 rows (100%), about 0 s left"},
        {1, 4294967296, seconds(1), wide, "grisalturas: 1 of 4,294,967,296 rows (0%), about 1193046 h left"},
        // At 40 columns, and at the fewest that show a line.
        {115287412, 150000000, seconds(3), 39, "grisalturas: 76%, about 1 s left"},
        {115287412, 150000000, seconds(3), 32, "grisalturas: 76%, about 1 s left"},
        {115287412, 150000000, seconds(3), 31, "grisalturas: 76%"},
        {150000000, 150000000, seconds(3), 19, "grisalturas: 100%"},
        {1, 2, seconds(3), 15, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(progress_line(c.done, c.total, c.elapsed, c.width), c.line) << c.width;
    }
}

}  // namespace
