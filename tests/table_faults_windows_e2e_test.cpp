// What only Windows shows of the table's safety: a process ended outright.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "old_table.hpp"
#include "program_session.hpp"

namespace {

namespace fs = std::filesystem;

TEST(Kills, WhileWritingLeaveTheOldTableAndNothingElse)
{
    const WithOldTable workspace;
    bool writing = false;
    RunOptions options;
    options.kill_when = [&] {
        for (const auto& entry : fs::directory_iterator(workspace.maps())) {
            std::error_code unknown;
            if (entry.path().filename() != "sierra_tab.txt" && entry.file_size(unknown) > 0) {
                writing = true;
            }
        }
        return writing;
    };
    const RunResult run = run_program(workspace.root(), "maps sierra 0 1 0 19999999 1 0", options);  // 358 MB
    EXPECT_TRUE(writing) << "killed while the rows were written";
    EXPECT_EQ(run.exit_status, 255);
    expect_old_table_kept(workspace);
}

}  // namespace
