// What only a POSIX system shows of the table's safety: permissions, links,
// signals, and writes that fail.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "expected_dialogue.hpp"
#include "old_table.hpp"
#include "program_session.hpp"
#include "workspace.hpp"

namespace {

namespace fs = std::filesystem;

const std::string sierra_label = expected::table_label("maps", "sierra");

unsigned permissions(const fs::path& file)
{
    struct stat status {};
    EXPECT_EQ(::stat(file.c_str(), &status), 0);
    return status.st_mode & 07777U;
}

TEST(RefusedTable, WithoutPermissionIsReportedBeforeAnyNumberIsAsked)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write anywhere";
    }
    const std::string expected_out =
        expected::introduction() + std::string(expected::folder_prompt) + std::string(expected::table_prompt);
    {
        const Workspace workspace;
        fs::permissions(workspace.maps(), fs::perms(0555));
        const RunResult run = run_program(workspace.root(), "maps sierra 0 1 10 20 5 1");
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_EQ(run.err, "grisalturas: cannot create " + sierra_label + ": Permission denied\n");
        EXPECT_EQ(run.out, expected_out);
    }
    {
        const WithOldTable workspace;
        fs::permissions(workspace.table("sierra"), fs::perms(0444));
        const RunResult run = run_program(workspace.root(), "maps sierra 0 1 10 20 5 1");
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_EQ(run.err, "grisalturas: cannot create " + sierra_label + ": Permission denied\n");
        EXPECT_EQ(run.out, expected_out);
        expect_old_table_kept(workspace);
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
    EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"});
}

}  // namespace
