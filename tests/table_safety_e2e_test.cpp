// No run that ends early or fails loses or corrupts a table, and none leaves
// a temporary file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "expected_dialogue.hpp"
#include "old_table.hpp"
#include "program_session.hpp"
#include "workspace.hpp"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

TEST(EndOfInput, BeforeTheLastAnswerEndsTheRunAndKeepsTheTable)
{
    const struct {
        const char* input;
        const char* message;
    } cases[] = {
        {"", "grisalturas: no answer for the folder name: end of input\n"},
        {"maps", "grisalturas: no answer for the table name: end of input\n"},
        {"maps sierra", "grisalturas: no answer for the first gray tone value: end of input\n"},
        {"maps sierra 0 1 10\n", "grisalturas: no answer for the last hypsometric value: end of input\n"},
        {"maps sierra 0 1 10 20 x",
         "grisalturas: hypsometric step: \"x\" is not a whole number from -2147483648 "
         "to 2147483647\ngrisalturas: no answer for the hypsometric step: end of input\n"},
        {"maps sierra 0 1 10 20 0",
         "grisalturas: hypsometric step: must not be 0\n"
         "grisalturas: no answer for the hypsometric step: end of input\n"},
        {"maps sierra 0 1 10 20 5", "grisalturas: no answer for the output scale: end of input\n"},
        {"maps sierra 0 1 10 20 5 7 8\r\n", "grisalturas: no answer for the output scale: end of input\n"},
    };
    for (const auto& c : cases) {
        const WithOldTable workspace;
        const RunResult run = run_program(workspace.root(), c.input);
        EXPECT_EQ(run.exit_status, 1) << c.input;
        EXPECT_EQ(run.err, c.message);
        expect_old_table_kept(workspace);
    }
}

TEST(EndlessInput, EndsTheRunPastTheLongestPath)
{
#ifdef _WIN32
    const std::string longest = "32767";
#else
    const std::string longest = "4096";
#endif
    const std::string endless(std::stoul(longest) + 4096, 'w');  // a few KiB past it: no more is read
    const struct {
        std::string input;
        const char* subject;
    } cases[] = {
        {std::string(endless.size(), '\0'), "folder name"},  // as from /dev/zero
        {"maps " + endless, "table name"},
        {"maps sierra " + endless, "first gray tone value"},
    };
    const WithOldTable workspace;
    for (const auto& c : cases) {
        const RunResult run = run_program(workspace.root(), c.input);
        EXPECT_EQ(run.exit_status, 1) << c.subject;
        EXPECT_EQ(run.err, "grisalturas: " + std::string(c.subject) + ": longer than " + longest + " bytes\n");
        expect_old_table_kept(workspace);
    }
}

TEST(EndlessInput, EndsTheRunAfterAHundredRefusalsOrAMebibyteOfWhiteSpace)
{
    std::string refused;
    std::string scales;
    for (int k = 0; k < 100; ++k) {
        refused += "abc ";
        scales += "5\n";
    }
    const struct {
        std::string input;
        const char* last_line;
    } cases[] = {
        {"maps sierra " + refused, "grisalturas: first gray tone value: 100 answers in a row refused\n"},
        {"maps sierra 0 1 10 20 5 " + scales, "grisalturas: output scale: 100 answers in a row refused\n"},
        {"maps " + std::string(std::size_t{1} << 20, '\n'),
         "grisalturas: table name: no answer in 1 MiB of white space\n"},
    };
    for (const auto& c : cases) {
        const WithOldTable workspace;
        const RunResult run = run_program(workspace.root(), c.input);
        EXPECT_EQ(run.exit_status, 1) << c.last_line;
        EXPECT_TRUE(run.err.ends_with(c.last_line))
            << run.err.substr(run.err.size() - std::min<std::size_t>(200, run.err.size()));
        expect_old_table_kept(workspace);
    }
    // One refusal fewer, and the question is still answered.
    const Workspace workspace;
    const RunResult run = run_program(workspace.root(), "maps sierra 0 1 10 20 5 " + scales.substr(2) + "1");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, expected::dialogue(100));
    EXPECT_EQ(Workspace::read(workspace.table("sierra")), expected::plain_table);
}

TEST(MarkedInput, IsReadAsTheSameAnswers)
{
    // The answers expected::plain_answers as an editor or a shell may save them.
    const std::string answers = "maps sierra 0 1 10 20 5 1\r\n";
    const auto utf16 = [&](bool little_endian) {
        std::string bytes = little_endian ? "\xFF\xFE" : "\xFE\xFF";
        for (char c : answers) {
            bytes += little_endian ? std::string{c, '\0'} : std::string{'\0', c};
        }
        return bytes;
    };
    for (const std::string& input : {"\xEF\xBB\xBF" + answers, utf16(true), utf16(false)}) {
        const WithOldTable workspace;
        const RunResult run = run_program(workspace.root(), input);
        EXPECT_EQ(run.exit_status, 0) << run.err;
        EXPECT_EQ(run.out, expected::dialogue());
        EXPECT_EQ(Workspace::read(workspace.table("sierra")), expected::plain_table);
    }
}

TEST(Overflow, AValueBeyondThirtyTwoBitsWritesNothing)
{
    const WithOldTable workspace;
    const RunResult run = run_program(workspace.root(), "maps sierra 0 1 2147483 2147484 1 3");
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.err,
              "grisalturas: cannot write the table: the altitude of row 2 (2147484000 millimeters) does not fit a "
              "32-bit integer\n");
    expect_old_table_kept(workspace);
}

TEST(RefusedTable, ThatWindowsKeepsForItselfIsRefusedThereOnly)
{
    const struct {
        const char* table;
        const char* shown;  // as the message shows it
        const char* windows_reason;
    } cases[] = {
        {"a:b", "a:b", "the table name holds ':', which Windows keeps for drives and streams"},
        {"a<b", "a<b", "the table name holds '<', which Windows does not allow in names"},
        {"a>b", "a>b", "the table name holds '>', which Windows does not allow in names"},
        {"a\"b", "a\"b", "the table name holds '\"', which Windows does not allow in names"},
        {"a|b", "a|b", "the table name holds '|', which Windows does not allow in names"},
        {"a?b", "a?b", "the table name holds '?', which Windows does not allow in names"},
        {"a*b", "a*b", "the table name holds '*', which Windows does not allow in names"},
        {"a\x01z", "a\\001z", "the table name holds a control character, which Windows does not allow in names"},
    };
    for (const auto& c : cases) {
        const Workspace workspace;
        const RunResult run = run_program(workspace.root(), std::string("maps ") + c.table + " 0 1 10 20 5 1");
#ifdef _WIN32
        EXPECT_EQ(run.exit_status, 1) << c.shown;
        EXPECT_EQ(run.err, std::string("grisalturas: cannot create c:\\images\\maps\\") + c.shown +
                               "_tab.txt: " + c.windows_reason + "\n");
        EXPECT_EQ(run.out, expected::up_to_the_names) << c.shown;
        EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{}) << c.shown;
#else
        EXPECT_EQ(run.exit_status, 0) << c.shown << ": " << run.err;
        EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{std::string(c.table) + "_tab.txt"}) << c.shown;
#endif
    }
}

TEST(RefusedTable, IsReportedBeforeAnyNumberIsAsked)
{
    const std::string long_name(300, 't');
    const std::string long_table = "maps\\" + long_name + "_tab.txt (./images/maps/" + long_name + "_tab.txt)";
    const struct {
        const char* folder;
        std::string table;
        void (*prepare)(const Workspace&);
        std::string label;   // past c:\images\, as Linux shows it; Windows shows what comes before " ("
        std::string reason;  // the POSIX wording; Windows words its reasons its own way
    } cases[] = {
        {"nowhere", "sierra", [](const Workspace&) {}, "nowhere\\sierra_tab.txt (./images/nowhere/sierra_tab.txt)",
         "the folder c:\\images\\nowhere (./images/nowhere) does not exist"},
        {"maps", "sierra", [](const Workspace& w) { fs::remove_all(w.root() / "images"); },
         "maps\\sierra_tab.txt (./images/maps/sierra_tab.txt)", "the folder c:\\images (./images) does not exist"},
        {"plain", "sierra", [](const Workspace& w) { Workspace::write(w.root() / "images" / "plain", ""); },
         "plain\\sierra_tab.txt (./images/plain/sierra_tab.txt)", "Not a directory"},
        {"maps", "sierra", [](const Workspace& w) { fs::create_directory(w.table("sierra")); },
         "maps\\sierra_tab.txt (./images/maps/sierra_tab.txt)", "Is a directory"},
        {"maps", long_name, [](const Workspace&) {}, long_table, expected::reason(ENAMETOOLONG)},
    };
    // Not one of the system's reasons: the program refuses this name itself.
    {
        const Workspace workspace;
        const RunResult run = run_program(workspace.root(), "maps si\0erra 0 1 10 20 5 1"s);
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_EQ(run.err, "grisalturas: cannot create the table: its name holds a NUL character\n");
        EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{});
    }
    for (const auto& c : cases) {
        const Workspace workspace;
        c.prepare(workspace);
        const bool has_maps = fs::exists(workspace.maps());
        const auto before = has_maps ? workspace.maps_listing() : std::vector<std::string>{};
        const RunResult run = run_program(workspace.root(), std::string(c.folder) + " " + c.table + " 0 1 10 20 5 1");
        EXPECT_EQ(run.exit_status, 1) << c.reason;
#ifdef _WIN32
        const std::string message =
            "grisalturas: cannot create c:\\images\\" + c.label.substr(0, c.label.find(" (")) + ": ";
        EXPECT_TRUE(run.err.starts_with(message) && run.err.find('\n') == run.err.size() - 1) << run.err;
#else
        EXPECT_EQ(run.err, "grisalturas: cannot create c:\\images\\" + c.label + ": " + c.reason + "\n");
#endif
        EXPECT_EQ(run.out, expected::up_to_the_names) << c.reason;
        if (has_maps) {
            EXPECT_EQ(workspace.maps_listing(), before) << c.reason;
        }
    }
}

}  // namespace
