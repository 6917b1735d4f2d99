// No run that ends early or fails loses or corrupts a table, and none leaves
// a temporary file behind.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "expected_dialogue.hpp"
#include "program_session.hpp"
#include "workspace.hpp"

namespace {

namespace fs = std::filesystem;

const std::string old_table = "7\t70\r\n";
const std::string sierra_label = "c:\\images\\maps\\sierra_tab.txt (./images/maps/sierra_tab.txt)";
const std::vector<std::string> only_sierra = {"sierra_tab.txt"};

// A workspace whose images/maps already holds the table sierra.
struct WithOldTable : Workspace {
    WithOldTable() { write(table("sierra"), old_table); }
};

void expect_old_table_kept(const WithOldTable& workspace)
{
    EXPECT_EQ(Workspace::read(workspace.table("sierra")), old_table);
    EXPECT_EQ(workspace.maps_listing(), only_sierra);
}

unsigned permissions(const fs::path& file)
{
    struct stat status {};
    EXPECT_EQ(::stat(file.c_str(), &status), 0);
    return status.st_mode & 07777U;
}

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

TEST(RefusedTable, IsReportedBeforeAnyNumberIsAsked)
{
    const std::string long_name(300, 't');
    const struct {
        const char* name;
        std::string answers;
        void (*prepare)(const Workspace&);
        std::string message;
        bool needs_permissions;  // root may write anywhere
    } cases[] = {
        {"missing folder", "nowhere sierra", [](const Workspace&) {},
         "cannot create c:\\images\\nowhere\\sierra_tab.txt (./images/nowhere/sierra_tab.txt): No such file or "
         "directory",
         false},
        {"folder is a file", "plain sierra",
         [](const Workspace& w) { Workspace::write(w.root() / "images" / "plain", ""); },
         "cannot create c:\\images\\plain\\sierra_tab.txt (./images/plain/sierra_tab.txt): Not a directory", false},
        {"table is a folder", "maps sierra", [](const Workspace& w) { fs::create_directory(w.table("sierra")); },
         "cannot create " + sierra_label + ": Is a directory", false},
        {"name too long", "maps " + long_name, [](const Workspace&) {},
         "cannot create c:\\images\\maps\\" + long_name + "_tab.txt (./images/maps/" + long_name +
             "_tab.txt): File name too long",
         false},
        {"folder not writable", "maps sierra", [](const Workspace& w) { fs::permissions(w.maps(), fs::perms(0555)); },
         "cannot create " + sierra_label + ": Permission denied", true},
        {"table not writable", "maps sierra",
         [](const Workspace& w) {
             Workspace::write(w.table("sierra"), old_table);
             fs::permissions(w.table("sierra"), fs::perms(0444));
         },
         "cannot create " + sierra_label + ": Permission denied", true},
    };
    for (const auto& c : cases) {
        if (c.needs_permissions && ::geteuid() == 0) {
            continue;
        }
        const Workspace workspace;
        c.prepare(workspace);
        const auto before = workspace.maps_listing();
        const RunResult run = run_program(workspace.root(), c.answers + " 0 1 10 20 5 1");
        EXPECT_EQ(run.exit_status, 1) << c.name;
        EXPECT_EQ(run.err, "grisalturas: " + c.message + "\n") << c.name;
        EXPECT_EQ(run.out,
                  expected::introduction() + std::string(expected::folder_prompt) + std::string(expected::table_prompt))
            << c.name;
        EXPECT_EQ(workspace.maps_listing(), before) << c.name;
    }
}

TEST(Replacement, KeepsTheOldPermissionsAndGivesNewTablesTheUsualOnes)
{
    {
        const WithOldTable workspace;
        fs::permissions(workspace.table("sierra"), fs::perms(0640));
        EXPECT_EQ(run_program(workspace.root(), "maps sierra 0 1 10 20 5 1").exit_status, 0);
        EXPECT_EQ(permissions(workspace.table("sierra")), 0640U);
    }
    for (const mode_t mask : {mode_t{022}, mode_t{027}, mode_t{0}}) {
        const Workspace workspace;
        RunOptions options;
        options.umask = mask;
        EXPECT_EQ(run_program(workspace.root(), "maps sierra 0 1 10 20 5 1", options).exit_status, 0);
        EXPECT_EQ(permissions(workspace.table("sierra")), 0666U & ~mask);
    }
}

TEST(Replacement, WritesThroughSymbolicLinksAndKeepsThem)
{
    const Workspace workspace;
    fs::create_directory(workspace.root() / "store");
    Workspace::write(workspace.root() / "store" / "kept.txt", old_table);
    fs::create_symlink("../../store/kept.txt", workspace.table("sierra"));
    fs::create_symlink("../../store/new.txt", workspace.table("fresh"));

    EXPECT_EQ(run_program(workspace.root(), "maps sierra 0 1 10 20 5 1").exit_status, 0);
    EXPECT_EQ(run_program(workspace.root(), "maps fresh 0 1 10 20 5 0").exit_status, 0);

    EXPECT_TRUE(fs::is_symlink(workspace.table("sierra")));
    EXPECT_TRUE(fs::is_symlink(workspace.table("fresh")));
    EXPECT_EQ(Workspace::read(workspace.root() / "store" / "kept.txt"), "0\t100\r\n1\t150\r\n2\t200\r\n");
    EXPECT_EQ(Workspace::read(workspace.root() / "store" / "new.txt"), "0\t10\r\n1\t15\r\n2\t20\r\n");
    EXPECT_EQ(workspace.maps_listing(), (std::vector<std::string>{"fresh_tab.txt", "sierra_tab.txt"}));
}

TEST(Signals, DuringTheQuestionsLeaveTheTableAsItWas)
{
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        const WithOldTable workspace;
        ProgramSession session(workspace.root());
        session.send("maps sierra 0 1\n");
        ASSERT_TRUE(session.wait_for_output(expected::min_alt_prompt));
        EXPECT_EQ(workspace.maps_listing().size(), 2U) << "the temporary file is there until the signal";
        session.kill(signal_number);
        const RunResult run = session.finish();
        EXPECT_EQ(run.signal, signal_number);
        expect_old_table_kept(workspace);
    }
}

TEST(Signals, AClosedOutputLeavesTheTableAsItWas)
{
    const WithOldTable workspace;
    ProgramSession session(workspace.root());
    session.send("maps sierra\n");
    ASSERT_TRUE(session.wait_for_output(expected::first_tone_prompt));
    session.close_output();
    const RunResult run = session.finish("0\n");
    EXPECT_EQ(run.signal, SIGPIPE);
    expect_old_table_kept(workspace);
}

TEST(FailedWrites, LeaveTheTableAsItWas)
{
    const WithOldTable workspace;
    RunOptions options;
    options.file_size_limit = 4096;
    const RunResult run = run_program(workspace.root(), "maps sierra 0 1 0 9999 1 0", options);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.err, "grisalturas: cannot write " + sierra_label + ": File too large\n");
    expect_old_table_kept(workspace);
}

bool strace_works()
{
    return std::system("strace -qq -o /dev/null true >/dev/null 2>&1") == 0;  // NOLINT(cert-env33-c)
}

// Runs the program under strace with one system call made to fail.
RunOptions injecting(const std::string& injection)
{
    RunOptions options;
    options.wrapper = {"strace", "-qq", "-o", "/dev/null", "-e", "inject=" + injection};
    options.environment = {{"ASAN_OPTIONS", "detect_leaks=0"}};  // the leak checker cannot work under ptrace
    return options;
}

TEST(FailedWrites, AFailedSyncOrRenameIsReportedAndKeepsTheTable)
{
    if (!strace_works()) {
        GTEST_SKIP() << "strace cannot run here";
    }
    const struct {
        const char* injection;
        std::string message;
    } cases[] = {
        {"fsync:error=EIO", "cannot write " + sierra_label + ": Input/output error"},
        {"fchmod:error=EPERM", "cannot write " + sierra_label + ": Operation not permitted"},
        {"rename:error=EXDEV", "cannot replace " + sierra_label + ": Invalid cross-device link"},
    };
    for (const auto& c : cases) {
        const WithOldTable workspace;
        const RunResult run = run_program(workspace.root(), "maps sierra 0 1 10 20 5 1", injecting(c.injection));
        EXPECT_EQ(run.exit_status, 1) << c.injection;
        EXPECT_EQ(run.err, "grisalturas: " + c.message + "\n") << c.injection;
        expect_old_table_kept(workspace);
    }
}

TEST(FailedWrites, AFailedSyncOfTheFolderIsReportedThoughTheTableIsInPlace)
{
    if (!strace_works()) {
        GTEST_SKIP() << "strace cannot run here";
    }
    const WithOldTable workspace;
    const RunResult run =
        run_program(workspace.root(), "maps sierra 0 1 10 20 5 1", injecting("fsync:error=EIO:when=2"));
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.err, "grisalturas: cannot sync the folder of " + sierra_label + ": Input/output error\n");
    EXPECT_EQ(Workspace::read(workspace.table("sierra")), "0\t100\r\n1\t150\r\n2\t200\r\n");
    EXPECT_EQ(workspace.maps_listing(), only_sierra);
}

}  // namespace
