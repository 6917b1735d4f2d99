// The program as a user meets it: exact dialogue, exact table bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "expected_dialogue.hpp"
#include "program_session.hpp"
#include "workspace.hpp"

namespace {

TEST(Dialogue, PlainRunShowsEveryTextAndWritesTheTable)
{
    const Workspace workspace;
    const RunResult run = run_program(workspace.root(), "maps\nsierra\n0\n1\n10\n20\n5\n1\n");
    EXPECT_EQ(run.out, expected::dialogue());
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(Workspace::read(workspace.table("sierra")), expected::plain_table);
    EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"});
}

TEST(Dialogue, CommandLineArgumentsChangeNothing)
{
    const Workspace workspace;
    RunOptions options;
    options.arguments = {"--help", "c:\\images\\maps\\other_tab.txt"};
    const RunResult run = run_program(workspace.root(), expected::plain_answers, options);
    EXPECT_EQ(run.out, expected::dialogue());
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"});
}

#ifndef _WIN32
TEST(Dialogue, EachPromptIsShownBeforeItsAnswerIsAwaited)
{
    // Names of one character included: fewer bytes than any mark of an encoding.
    for (const auto& [folder, table] : {std::pair{"maps", "sierra"}, std::pair{"m", "s"}}) {
        const Workspace workspace;
        std::filesystem::create_directories(workspace.root() / "images" / folder);
        ProgramSession session(workspace.root());
        const std::string steps[][2] = {
            {"C:\\images : ? ", folder + std::string("\n")},
            {"_tab.txt) ? ", table + std::string("\n")},
            {"in the image ? ", "0\n"},
            {"Gray tone Step ? ", "1\n"},
            {"First hypsometric value (in meter) ? ", "10\n"},
            {"(in meter)  ? ", "20\n"},
            {"hypsometric step (in meter) ? ", "5\n"},
            {"3 ====> millimeters\n\t\t", "1\n"},
        };
        for (const auto& [prompt, answer] : steps) {
            ASSERT_TRUE(session.wait_for_output(prompt)) << prompt << " after " << folder;
            session.send(answer);
        }
        const RunResult run = session.finish();
        EXPECT_EQ(run.out, expected::dialogue());
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_EQ(Workspace::read(workspace.root() / "images" / folder / (table + std::string("_tab.txt"))),
                  expected::plain_table);
    }
}

#endif

// The answers after the names, and what the table then holds.
struct TableCase {
    const char* name;
    const char* answers;
    std::string table;
    int menus = 1;                             // how often the scale menu is shown
    std::string names = "maps sierra";         // the folder's and the table's answers
    std::string file = "maps/sierra_tab.txt";  // where in images the table is, alone in its folder
};

void PrintTo(const TableCase& c, std::ostream* out)
{
    *out << c.name;
}

class Tables : public testing::TestWithParam<TableCase> {};

TEST_P(Tables, HoldTheRowsTheAnswersAskFor)
{
    const Workspace workspace;
    const std::filesystem::path table = workspace.root() / "images" / GetParam().file;
    std::filesystem::create_directories(table.parent_path());
    const RunResult run = run_program(workspace.root(), GetParam().names + "\n" + GetParam().answers);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, expected::dialogue(GetParam().menus));
    EXPECT_EQ(Workspace::read(table), GetParam().table);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(table.parent_path()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Tables,
    testing::Values(
        TableCase{"plain", "0 1 10 20 5 1", expected::plain_table},
        TableCase{"range_not_a_multiple", "0 1 0 10 3 0", "0\t0\r\n1\t3\r\n2\t6\r\n3\t9\r\n"},
        TableCase{"descending", "0 1 100 0 -10 0",
                  "0\t100\r\n1\t90\r\n2\t80\r\n3\t70\r\n4\t60\r\n5\t50\r\n6\t40\r\n7\t30\r\n8\t20\r\n9\t10\r\n"
                  "10\t0\r\n"},
        TableCase{"last_just_below_first", "5 2 100 99 5 0", "5\t100\r\n"},
        TableCase{"last_well_below_first", "5 2 100 90 5 0", ""},
        TableCase{"opposite_step", "5 2 0 5 -10 0", "5\t0\r\n"},
        TableCase{"scale_asked_again", "0 1 10 20 5 7 2", "0\t1000\r\n1\t1500\r\n2\t2000\r\n", 2},
        TableCase{"scale_asked_twice_again", "0 1 10 20 5 4 2147483647 0", "0\t10\r\n1\t15\r\n2\t20\r\n", 3},
        TableCase{"negative_scale", "0 1 10 20 5 -4", "0\t10\r\n1\t15\r\n2\t20\r\n"},
        TableCase{"millimeters_leave_tones", "3 -2 1 3 1 3", "3\t1000\r\n1\t2000\r\n-1\t3000\r\n"},
        TableCase{"tones_below_zero", "-1 -100 -5 5 5 2", "-1\t-500\r\n-101\t0\r\n-201\t500\r\n"},
        TableCase{"range_beyond_32_bits", "0 1 -2000000000 2000000000 1000000000 0",
                  "0\t-2000000000\r\n1\t-1000000000\r\n2\t0\r\n3\t1000000000\r\n4\t2000000000\r\n"},
        TableCase{"extremes", "2147483647 -1 -2147483648 2147483647 2147483647 0",
                  "2147483647\t-2147483648\r\n2147483646\t-1\r\n2147483645\t2147483646\r\n"},
        TableCase{"one_answer_a_line_crlf", "0\r\n1\r\n10\r\n20\r\n5\r\n1\r\n", expected::plain_table},
        TableCase{"signed_and_padded", "+0 +1 010 0020 +5 +1", expected::plain_table},
        TableCase{"two_words_for_the_folder", "0 1 10 20 5 1", expected::plain_table, 1, "my maps", "my/maps_tab.txt"},
        TableCase{"suffix_typed", "0 1 10 20 5 1", expected::plain_table, 1, "maps sierra_tab.txt",
                  "maps/sierra_tab.txt_tab.txt"},
        TableCase{"long_names", "0 1 10 20 5 1", expected::plain_table, 1,
                  std::string(150, 'f') + " " + std::string(200, 't'),
                  std::string(150, 'f') + "/" + std::string(200, 't') + "_tab.txt"}),
    [](const testing::TestParamInfo<TableCase>& info) { return std::string(info.param.name); });

TEST(Tables, OfAMillionRowsAreExactThroughEveryBlock)
{
    const Workspace workspace;
    // Altitudes in centimeters from -10^8 to 10^8: through zero, and past eight digits at both ends.
    const RunResult run = run_program(workspace.root(), "maps big 7 3 -1000000 1000000 2 2");
    ASSERT_EQ(run.exit_status, 0) << run.err;
    std::string expected_table;
    for (std::int64_t k = 0; k <= 1000000; ++k) {
        expected_table += std::to_string(7 + 3 * k) + "\t" + std::to_string(-100000000 + 200 * k) + "\r\n";
    }
    EXPECT_TRUE(Workspace::read(workspace.table("big")) == expected_table);
}

TEST(Answers, ThatAreRefusedAreAskedAgain)
{
    const auto refused = [](const char* subject, const char* token) {
        return std::string("grisalturas: ") + subject + ": \"" + token +
               "\" is not a whole number from -2147483648 to 2147483647\n";
    };
    std::string tokens;
    for (const char* token : {"abc", "12abc", "1.5", "2147483648", "-"}) {
        tokens += refused("first gray tone value", token);
    }
    const std::string zero_step = "grisalturas: hypsometric step: must not be 0\n";
    const struct {
        const char* answers;
        std::string err;
        std::string out;
    } cases[] = {
        {"abc 12abc 1.5 2147483648 - 0 1 10 20 5 1", tokens, expected::dialogue(1, {{expected::first_tone_prompt, 5}})},
        {"0 1 10 20 0 0 5 1", zero_step + zero_step, expected::dialogue(1, {{expected::alt_step_prompt, 2}})},
        {"0 1 10 20 5 x 9 1", refused("output scale", "x"), expected::dialogue(3)},
    };
    for (const auto& c : cases) {
        const Workspace workspace;
        const RunResult run = run_program(workspace.root(), std::string("maps sierra ") + c.answers);
        EXPECT_EQ(run.err, c.err) << c.answers;
        EXPECT_EQ(run.out, c.out) << c.answers;
        EXPECT_EQ(run.exit_status, 0) << c.answers;
        EXPECT_EQ(Workspace::read(workspace.table("sierra")), expected::plain_table) << c.answers;
    }
}

}  // namespace
