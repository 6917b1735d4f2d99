// What only a POSIX system shows of the table's safety: permissions, links,
// signals, and writes that fail.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <locale>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "build_features.hpp"
#include "disks_posix.hpp"
#include "expected_dialogue.hpp"
#include "old_table.hpp"
#include "program_session.hpp"
#include "strace_posix.hpp"
#include "terminal_posix.hpp"
#include "workspace.hpp"

namespace {

namespace fs = std::filesystem;

using expected::sierra_label;

constexpr auto npos = std::string::npos;

// The lines below the last scale menu on a screen, where the program's own
// line goes, without blank lines and trailing blanks.
std::vector<std::string> below_the_menu(const std::string& screen)
{
    std::istringstream rows(screen.substr(std::min(screen.rfind("millimeters\n"), screen.size())));
    std::vector<std::string> lines;
    for (std::string line; std::getline(rows, line);) {
        line.erase(line.find_last_not_of(' ') + 1);
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return {lines.begin() + std::min<std::ptrdiff_t>(1, std::ssize(lines)), lines.end()};
}

// Whether `line` is a progress line narrower than `columns`.
bool is_progress(const std::string& line, std::size_t columns)
{
    return line.starts_with("grisalturas: ") && line.find('%') != npos && line.size() < columns;
}

unsigned permissions(const fs::path& file)
{
    struct stat status {};
    EXPECT_EQ(::stat(file.c_str(), &status), 0);
    return status.st_mode & 07777U;
}

TEST(RefusedTable, WithoutPermissionIsReportedBeforeAnyNumberIsAsked)
{
    const struct {
        bool old;
        fs::path (*refused)(const Workspace&);
        std::string reason;
    } cases[] = {
        {false, [](const Workspace& w) { return w.maps(); },
         "the folder " + expected::maps_label + " is not writable: Permission denied"},
        {true, [](const Workspace& w) { return w.table("sierra"); }, "Permission denied"},
    };
    for (const auto& c : cases) {
        const WithOldTable workspace;
        if (!c.old) {
            fs::remove(workspace.table("sierra"));
        }
        RunOptions options;
        if (::geteuid() == 0) {
            options.wrapper = as_nobody(workspace);  // root may write anywhere
        }
        fs::permissions(workspace.maps(), fs::perms(0777));
        fs::permissions(c.refused(workspace), fs::perms(0555));
        const RunResult run = run_program(workspace.root(), expected::plain_answers, options);
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_EQ(run.err, "grisalturas: cannot create " + sierra_label + ": " + c.reason + "\n");
        EXPECT_EQ(run.out,
                  expected::introduction + std::string(expected::folder_prompt) + std::string(expected::table_prompt));
        if (c.old) {
            expect_old_table_kept(workspace);
        }
    }
}

TEST(Replacement, KeepsTheOldPermissionsAndGivesNewTablesTheUsualOnes)
{
    {
        const WithOldTable workspace;
        fs::permissions(workspace.table("sierra"), fs::perms(0640));
        EXPECT_EQ(run_program(workspace.root(), expected::plain_answers).exit_status, 0);
        EXPECT_EQ(permissions(workspace.table("sierra")), 0640U);
    }
    for (const char* mask : {"022", "027", "0"}) {
        const Workspace workspace;
        RunOptions options;
        options.wrapper = in_shell(std::string("umask ") + mask + ";");
        EXPECT_EQ(run_program(workspace.root(), expected::plain_answers, options).exit_status, 0);
        EXPECT_EQ(permissions(workspace.table("sierra")), 0666U & ~std::stoul(mask, nullptr, 8)) << mask;
    }
}

TEST(Replacement, OfAnOldTablePastTwoOrFourGibibytesOrDatedPast2038)
{
    constexpr std::uintmax_t gibibyte = std::uintmax_t{1} << 30;
    constexpr std::int64_t in_2040 = 2208988800;  // past what 32 bits of seconds reach
    const struct {
        std::uintmax_t size;
        std::int64_t modified;  // 0: as written
    } cases[] = {{2 * gibibyte + 1, 0}, {4 * gibibyte + 1, 0}, {old_table.size(), in_2040}};
    for (const auto& c : cases) {
        const WithOldTable workspace;
        fs::resize_file(workspace.table("sierra"), c.size);  // sparse: no room taken
        if (c.modified != 0) {
            const timespec times[2] = {{static_cast<time_t>(c.modified), 0}, {static_cast<time_t>(c.modified), 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, workspace.table("sierra").c_str(), times, 0), 0);
        }
        const RunResult run = run_program(workspace.root(), expected::plain_answers);
        EXPECT_EQ(run.exit_status, 0) << c.size << ": " << run.err;
        EXPECT_EQ(Workspace::read(workspace.table("sierra")), expected::plain_table) << c.size;
        EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"}) << c.size;
    }
}

TEST(Replacement, WritesThroughSymbolicLinksAndKeepsThem)
{
    const Workspace workspace;
    fs::create_directory(workspace.root() / "store");
    Workspace::write(workspace.root() / "store" / "kept.txt", old_table);
    fs::create_symlink("../../store/kept.txt", workspace.table("sierra"));
    fs::create_symlink("../../store/new.txt", workspace.table("fresh"));

    EXPECT_EQ(run_program(workspace.root(), expected::plain_answers).exit_status, 0);
    EXPECT_EQ(run_program(workspace.root(), "maps fresh 0 1 10 20 5 0").exit_status, 0);

    EXPECT_TRUE(fs::is_symlink(workspace.table("sierra")));
    EXPECT_TRUE(fs::is_symlink(workspace.table("fresh")));
    EXPECT_EQ(Workspace::read(workspace.root() / "store" / "kept.txt"), expected::plain_table);
    EXPECT_EQ(Workspace::read(workspace.root() / "store" / "new.txt"), "0\t10\r\n1\t15\r\n2\t20\r\n");
    EXPECT_EQ(workspace.maps_listing(), (std::vector<std::string>{"fresh_tab.txt", "sierra_tab.txt"}));
}

TEST(Replacement, GoesToTheFolderHeldFromTheNamesWhateverTakesItsPathMeanwhile)
{
    const WithOldTable workspace;
    const fs::path elsewhere = workspace.root() / "elsewhere";
    fs::create_directory(elsewhere);
    Workspace::write(elsewhere / "sierra_tab.txt", "kept\r\n");
    ProgramSession session(workspace.root());
    session.send("maps sierra\n");
    ASSERT_TRUE(session.wait_for_output(expected::first_tone_prompt));
    // Another member of a shared folder puts a link to another folder in its place.
    const fs::path moved = workspace.root() / "images" / "moved";
    fs::rename(workspace.maps(), moved);
    fs::create_directory_symlink(elsewhere, workspace.maps());
    const RunResult run = session.finish("0 1 10 20 5 1\n");
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(Workspace::read(moved / "sierra_tab.txt"), expected::plain_table);
    EXPECT_EQ(Workspace::read(elsewhere / "sierra_tab.txt"), "kept\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(moved), fs::directory_iterator()), 1);
}

TEST(Replacement, FollowsOnlyTheLinksTheSystemWouldFollowAndNoOtherUsersLinkForRoot)
{
    const fs::path protection = "/proc/sys/fs/protected_symlinks";
    const std::string before = Workspace::read(protection);
    if (::geteuid() != 0 || before.empty() || !shell("setpriv --version")) {
        GTEST_SKIP() << "needs root, setpriv and protected symbolic links";
    }
    // On, as every distribution sets it, for the test's length.
    const struct Restore {
        fs::path setting;
        std::string value;
        ~Restore() { Workspace::write(setting, value); }
    } restore{protection, before};
    Workspace::write(protection, "1\n");
    if (Workspace::read(protection) != "1\n") {
        GTEST_SKIP() << "cannot protect symbolic links here";
    }
    constexpr unsigned owner = 47101;  // of the file the link leads to
    constexpr unsigned other = 47102;  // of the link, in a folder both may write
    const struct {
        unsigned runner;
        fs::perms folder;  // a shared folder whose links the system protects, or one it leaves to the program
        std::string err;
    } cases[] = {
        {owner, fs::perms(01777), "cannot create " + sierra_label + ": Permission denied"},
        {0, fs::perms(0775),
         "cannot create " + sierra_label + ": it is a link of another user, which root does not follow"},
    };
    const auto give = [](const fs::path& file, unsigned user) {
        std::string command = "chown -h ";
        command.append(std::to_string(user)).append(" ").append(quoted(file));
        return shell(command);
    };
    for (const auto& c : cases) {
        const Workspace workspace;
        const fs::path target = workspace.root() / "target.txt";
        Workspace::write(target, old_table);
        ASSERT_TRUE(give(target, c.runner == 0 ? 0 : owner));
        fs::permissions(workspace.maps(), c.folder);
        fs::create_symlink(target, workspace.table("sierra"));
        ASSERT_TRUE(give(workspace.table("sierra"), other));
        RunOptions options;
        if (c.runner != 0) {
            options.wrapper = as_user(workspace, c.runner);
        }
        const RunResult run = run_program(workspace.root(), expected::plain_answers, options);
        EXPECT_EQ(run.exit_status, 1) << c.runner;
        EXPECT_EQ(run.err, "grisalturas: " + c.err + "\n") << c.runner;
        EXPECT_EQ(Workspace::read(target), old_table) << c.runner;
        EXPECT_TRUE(fs::is_symlink(workspace.table("sierra"))) << c.runner;
    }
}

TEST(Replacement, RootFollowsNoLinkOfAnotherUserOnTheWayToTheTable)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root";
    }
    // images/maps, or images itself, another user's link to a folder of root's.
    for (const std::string link : {"images/maps", "images"}) {
        const Workspace workspace;
        const fs::path linked = workspace.root() / link;
        const fs::path store = workspace.root() / "store";
        fs::rename(linked, store);
        const fs::path table = store / (link == "images" ? "maps/sierra_tab.txt" : "sierra_tab.txt");
        Workspace::write(table, old_table);
        fs::create_directory_symlink(store, linked);
        ASSERT_TRUE(shell("chown -h 47101:47101 " + quoted(linked)));
        const RunResult run = run_program(workspace.root(), expected::plain_answers);
        EXPECT_EQ(run.exit_status, 1) << link;
        EXPECT_EQ(run.err, "grisalturas: cannot create " + sierra_label +
                               ": it is a link of another user, which root does not follow\n")
            << link;
        EXPECT_EQ(Workspace::read(table), old_table) << link;
    }
}

TEST(Replacement, InAUserNamespaceATableOfAnOwnerItCannotShowBecomesTheUsers)
{
    if (::geteuid() != 0 || !shell("unshare --user --map-root-user true")) {
        GTEST_SKIP() << "needs root and user namespaces";
    }
    // Writable by all, and of a user that the namespace shows as its overflow id.
    const WithOldTable workspace;
    ASSERT_TRUE(shell("chown 47101:47101 " + quoted(workspace.table("sierra"))));
    fs::permissions(workspace.table("sierra"), fs::perms(0666));
    RunOptions options;
    options.wrapper = {"unshare", "--user", "--map-root-user"};
    const RunResult run = run_program(workspace.root(), expected::plain_answers, options);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(Workspace::read(workspace.table("sierra")), expected::plain_table);
    struct stat status {};
    ASSERT_EQ(::stat(workspace.table("sierra").c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 0U);
    EXPECT_EQ(status.st_gid, 0U);
    EXPECT_EQ(permissions(workspace.table("sierra")), 0666U);
}

TEST(Signals, DuringTheQuestionsLeaveTheTableAsItWas)
{
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        const WithOldTable workspace;
        ProgramSession session(workspace.root());
        session.send("maps sierra 0 1\n");
        ASSERT_TRUE(session.wait_for_output(expected::min_alt_prompt));
        // An unnamed temporary file shows nowhere; a named one shows until the signal.
        EXPECT_EQ(workspace.maps_listing().size(), beyond_posix ? 1U : 2U);
        session.kill(signal_number);
        const RunResult run = session.finish();
        EXPECT_EQ(run.signal, signal_number);
        expect_old_table_kept(workspace);
    }
}

TEST(Signals, AClosedOutputIsReportedAndLeavesTheTableAsItWas)
{
    const WithOldTable workspace;
    ProgramSession session(workspace.root());
    session.send("maps sierra\n");
    ASSERT_TRUE(session.wait_for_output(expected::first_tone_prompt));
    session.close_output();
    const RunResult run = session.finish("0\n");
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.err, "grisalturas: cannot write to standard output: Broken pipe\n");
    expect_old_table_kept(workspace);
}

TEST(StandardStreams, ClosedOrUnreadableAreReportedAndNeverTakeTheTable)
{
    const std::string table = expected::plain_table;
    const struct {
        const char* redirection;
        int exit_status;
        const char* err;
    } cases[] = {
        {"<&-", 1, "grisalturas: no answer for the folder name: cannot read standard input: Bad file descriptor\n"},
        {"<images", 1, "grisalturas: no answer for the folder name: cannot read standard input: Is a directory\n"},
        {">&-", 1, "grisalturas: cannot write to standard output: Bad file descriptor\n"},
        {"2>&-", 0, ""},  // the refusal is lost, and nothing else
    };
    for (const auto& c : cases) {
        const WithOldTable workspace;
        RunOptions options;
        options.wrapper = in_shell("", c.redirection);
        const RunResult run = run_program(workspace.root(), "maps sierra 0 1 abc 10 20 5 1", options);
        EXPECT_EQ(run.exit_status, c.exit_status) << c.redirection;
        if (c.exit_status == 0) {
            EXPECT_EQ(Workspace::read(workspace.table("sierra")), table) << c.redirection;
            EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"});
        } else {
            EXPECT_EQ(run.err, c.err);
            expect_old_table_kept(workspace);
        }
    }
}

TEST(StandardStreams, AtATerminalAFailureAtAPromptStartsALineOfItsOwn)
{
    if (!emulator().empty() || std::system("script --version >/dev/null 2>&1") != 0) {  // NOLINT(cert-env33-c)
        GTEST_SKIP() << "no terminal to run the program in here";
    }
    const WithOldTable workspace;
    RunOptions options;
    // Standard output a terminal, and the answers still from their file.
    options.wrapper = {"sh", "-c", "exec script -qec \"'$0' <&3\" /dev/null 3<&0 </dev/null"};
    const RunResult run = run_program(workspace.root(), "maps", options);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_TRUE(run.out.ends_with("_tab.txt) ? \r\ngrisalturas: no answer for the table name: end of input\r\n"))
        << run.out;
    expect_old_table_kept(workspace);
}

TEST(StandardStreams, AnInterruptedPromptIsWrittenWhole)
{
    if (!strace_works()) {
        GTEST_SKIP() << "strace cannot run here";
    }
    const Workspace workspace;
    // The banner's write, and a prompt's.
    for (const char* when : {"1", "3"}) {
        const RunResult run = run_program(workspace.root(), expected::plain_answers,
                                          injecting(std::string("write:error=EINTR:when=") + when));
        EXPECT_EQ(run.exit_status, 0) << when << ": " << run.err;
        EXPECT_EQ(run.out, expected::dialogue()) << when;
    }
}

struct TerminalKind {
    const char* name;
    const char* term;
    std::vector<int> widths;  // the terminal is made, one after the other
};

void PrintTo(const TerminalKind& kind, std::ostream* out)
{
    *out << kind.name;
}

// Each kind of terminal a test of its own, so that the two may run side by side.
class Terminals : public testing::TestWithParam<TerminalKind> {};

INSTANTIATE_TEST_SUITE_P(OfEveryKind, Terminals,
                         testing::Values(TerminalKind{"tmux", "", {200, 30, 12, 120}},
                                         TerminalKind{"dumb", "dumb", {120}}),
                         testing::PrintToStringParamName());

TEST_P(Terminals, ShowOneProgressLineAndMessagesOfTheirOwnWhateverHappensToTheRun)
{
    if (!tmux_available()) {
        GTEST_SKIP() << "no tmux to run the program in here";
    }
    if (linked_statically) {
        GTEST_SKIP() << "the slow writes that make a table last cannot be preloaded into a static program";
    }
    const TerminalKind& c = GetParam();
    const Workspace workspace;
    const Terminal terminal(workspace.root(), 200, c.term);
    const auto below = [&](const std::function<bool(const std::vector<std::string>&)>& are) {
        return terminal.wait_for([&](const std::string& screen) { return are(below_the_menu(screen)); });
    };
    // Through a pipe, which carries the dialogue alone, a failure at a prompt starts a line of its own.
    terminal.tmux("send-keys '\"$GRISALTURAS\" | tee log' Enter maps Enter");
    ASSERT_TRUE(terminal.wait_for([](const std::string& screen) { return screen.find("_tab.txt) ? ") != npos; }));
    terminal.tmux("send-keys C-d");
    ASSERT_TRUE(terminal.wait_for([](const std::string& screen) {
        return screen.find("_tab.txt) ? \ngrisalturas: no answer for the table name: end of input\n$ ") != npos;
    }));
    EXPECT_EQ(Workspace::read(workspace.root() / "log"), expected::up_to_the_names);
    // A terminal made narrower wraps the line onto several rows; below 20 columns none is shown.
    terminal.tmux("send-keys '\"$GRISALTURAS\"' Enter 'maps sierra 0 1 1 3000000 1 0' Enter");
    for (const int columns : c.widths) {
        terminal.tmux("resize-window -x " + std::to_string(columns));
        ASSERT_TRUE(below([&](const auto& lines) {
            return columns < 20 ? lines.empty() : lines.size() == 1 && is_progress(lines[0], columns);
        })) << c.term
            << columns;
    }
    // Stopped, with nothing of the line above the shell's word of it, and drawn again when the run goes on.
    terminal.tmux("send-keys C-z");
    ASSERT_TRUE(below([](const auto& lines) { return lines.size() == 2 && lines[0].starts_with("[1]"); }));
    terminal.tmux("send-keys fg Enter");
    ASSERT_TRUE(below([](const auto& lines) { return !lines.empty() && is_progress(lines.back(), 120); }));
    // In the background, the line stays off the shell's prompt while the rows go on.
    terminal.tmux("send-keys C-z bg Enter");
    const auto at_the_prompt = [](const auto& lines) { return lines.size() == 7 && lines.back() == "$"; };
    ASSERT_TRUE(below(at_the_prompt));
    std::this_thread::sleep_for(std::chrono::seconds(1));  // four rewrites of the line, were it drawn
    EXPECT_TRUE(below(at_the_prompt)) << terminal.tmux("capture-pane -p");
    terminal.tmux("send-keys fg Enter");
    ASSERT_TRUE(below([](const auto& lines) { return !lines.empty() && is_progress(lines.back(), 120); }));
    terminal.tmux("send-keys C-c");
    ASSERT_TRUE(below([](const auto& lines) { return lines.size() == 9 && lines.back() == "$"; })) << c.term;
    std::string written;
    ASSERT_TRUE(terminal.wait_for([&](const std::string&) {
        written = Workspace::read(workspace.root() / "written");
        return written.find("$ ", written.rfind("^C")) != npos;
    }));
    if (c.term == std::string("dumb")) {
        // A terminal that takes no escape sequences is sent none.
        EXPECT_EQ(written.find('\033', written.rfind("*****")), npos);
    }
}

TEST(FailedWrites, LeaveTheTableAsItWas)
{
    const WithOldTable workspace;
    RunOptions options;
    options.wrapper = {"prlimit", "--fsize=4096"};
    const RunResult run = run_program(workspace.root(), "maps sierra 0 1 0 9999 1 0", options);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.err, "grisalturas: cannot write " + sierra_label + ": File too large\n");
    expect_old_table_kept(workspace);
}

TEST(FailedCalls, AreReportedAndKeepTheTable)
{
    if (!strace_works()) {
        GTEST_SKIP() << "strace cannot run here";
    }
    const std::string& small = expected::plain_answers;
    const std::string& large = synced_while_written;
    // Looking at the table's name itself, not past it.
    std::string lstat_failure = injection_in_run(small, {"sierra_tab.txt\"", "NOFOLLOW"}, "EIO");
    ASSERT_FALSE(lstat_failure.empty());
    lstat_failure.erase(0, std::string_view("inject=").size());
    // What a replaced table keeps, where the test can give it that.
    const auto beyond = [](const Workspace&) { return beyond_posix; };
    const auto with_acl = [](const Workspace& w) {
        return beyond_posix && shell("setfacl -m u:65534:rw " + quoted(w.table("sierra")));
    };
    const auto of_another_user = [](const Workspace& w) {
        return ::geteuid() == 0 && shell("chown 65534:65534 " + quoted(w.table("sierra")));
    };
    const struct {
        std::string injection;
        std::string input;
        std::string message;
        bool (*prepare)(const Workspace&) = nullptr;  // false: the case cannot be made here
    } cases[] = {
        {"fsync:error=EIO", small, "cannot write " + sierra_label + ": " + expected::reason(EIO)},
        {"fchmod:error=EPERM", small, "cannot write " + sierra_label + ": Operation not permitted"},
        {"renameat:error=EXDEV", small, "cannot replace " + sierra_label + ": " + expected::reason(EXDEV)},
        {"renameat:error=EBUSY", small, "cannot replace " + sierra_label + ": " + expected::reason(EBUSY)},
        {"sync_file_range:error=EIO", large, "cannot write " + sierra_label + ": " + expected::reason(EIO), beyond},
        {"fsync:error=EIO", large, "cannot write " + sierra_label + ": " + expected::reason(EIO)},
        // Errors that say nothing of links, ACLs or owners are not taken for "none".
        {lstat_failure, small, "cannot create " + sierra_label + ": " + expected::reason(EIO)},
        {"getxattr:error=EIO", small, "cannot replace " + sierra_label + ": " + expected::reason(EIO), beyond},
        {"faccessat2:error=EIO:when=1", small, "cannot create " + sierra_label + ": " + expected::reason(EIO)},
        {"fsetxattr:error=ENOSPC", small, "cannot write " + sierra_label + ": No space left on device", with_acl},
        {"fchown:error=EIO:when=1", small, "cannot write " + sierra_label + ": " + expected::reason(EIO),
         of_another_user},
    };
    std::vector<std::string> skipped;
    for (const auto& c : cases) {
        const WithOldTable workspace;
        // A mode that the umask takes away from a new file, so that it has to be set.
        fs::permissions(workspace.table("sierra"), fs::perms(0666));
        if (c.prepare != nullptr && !c.prepare(workspace)) {
            skipped.push_back(c.injection + ": cannot be made here");
            continue;
        }
        const fs::path log = workspace.root() / "trace";
        RunOptions options = traced({"-o", log.string(), "-e", "inject=" + c.injection});
        const auto shell = in_shell("umask 022;");
        options.wrapper.insert(options.wrapper.begin(), shell.begin(), shell.end());
        const RunResult run = run_program(workspace.root(), c.input, options);
        EXPECT_EQ(run.exit_status, 1) << c.injection;
        EXPECT_EQ(run.err, "grisalturas: " + c.message + "\n") << c.injection;
        EXPECT_EQ(Workspace::read(workspace.table("sierra")), old_table) << c.injection;
        EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"}) << c.injection;
        EXPECT_NE(Workspace::read(log).find("(INJECTED)\n"), std::string::npos) << c.injection << " never fired";
    }
    skip_if_none_made(std::size(cases) - skipped.size(), skipped);
}

TEST(TemporaryFiles, HaveNamesNobodyCanGuessAndAreClosedBeforeTheirRename)
{
    if (!strace_works()) {
        GTEST_SKIP() << "strace cannot run here";
    }
    const std::string& input = expected::plain_answers;
    const WithOldTable workspace;
    const fs::path log = workspace.root() / "trace";
    std::vector<std::string> arguments = {"-o", log.string()};
    if (beyond_posix) {
        arguments.insert(arguments.end(), {"-e", named_file_injection(input)});
    }
    const RunResult run = run_program(workspace.root(), input, traced(arguments));
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const auto calls = traced_calls(log);
    // Made with O_EXCL under a name that ends in random hexadecimal digits: ...-<pid>-<random>.
    const auto creation = std::find_if(calls.begin(), calls.end(), [](const std::string& call) {
        const auto name = call.find("\".grisalturas-");
        const auto end = call.find('"', name + 1);
        return call.starts_with("openat(") && name != std::string::npos && end != std::string::npos &&
               call.find("O_WRONLY|O_CREAT|O_EXCL", end) != std::string::npos && end - call.rfind('-', end) - 1 == 16 &&
               call.find_first_not_of("0123456789abcdef", call.rfind('-', end) + 1) == end;
    });
    ASSERT_NE(creation, calls.end()) << "no temporary file with a random name";
    const std::string fd = creation->substr(creation->rfind(' ') + 1);
    const auto closing = std::find_if(creation, calls.end(), [&](const std::string& call) {
        return call.starts_with("close(" + fd + ")") && call.ends_with("= 0");
    });
    const auto renaming =
        std::find_if(creation, calls.end(), [](const std::string& call) { return call.starts_with("renameat"); });
    ASSERT_NE(renaming, calls.end());
    EXPECT_LT(closing, renaming) << "closed before its rename";
    EXPECT_EQ(Workspace::read(workspace.table("sierra")), expected::plain_table);
}

TEST(TemporaryFiles, LeftByEndedRunsOfTheUserOnThisMachineAreRemoved)
{
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    std::string machine;
    for (const char* c = host; *c != '\0' && machine.size() < 64; ++c) {
        machine.push_back(std::isalnum(*c, std::locale::classic()) ? *c : '_');  // ASCII letters and digits alone
    }
    // The space of process ids this test runs in, which numbers the processes named.
    struct stat ids {};
    const std::string space = std::to_string(beyond_posix && ::stat("/proc/self/ns/pid", &ids) == 0 ? ids.st_ino : 0);
    const pid_t ended = ::fork();
    if (ended == 0) {
        ::_exit(0);
    }
    ASSERT_GT(ended, 0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const auto name = [](const std::string& on, const std::string& ids, pid_t pid) {
        return ".grisalturas-" + on + "-" + ids + "-" + std::to_string(pid) + "-0123456789abcdef";
    };
    const WithOldTable workspace;
    const std::string left = name(machine, space, ended);
    const std::string running = name(machine, space, ::getpid());
    const std::string elsewhere = name("another_machine", space, ended);
    const std::string other_container = name(machine, space + "1", ended);
    for (const auto& file : {left, running, elsewhere, other_container}) {
        Workspace::write(workspace.maps() / file, "rows");
    }
    std::vector<std::string> kept = {left, elsewhere, other_container, running, "sierra_tab.txt"};
    std::sort(kept.begin(), kept.end());
    // A container of the same name, numbering its processes its own way, can tell none of them ended.
    if (beyond_posix && shell("unshare --pid --fork true")) {
        RunOptions options;
        options.wrapper = {"unshare", "--pid", "--fork"};
        EXPECT_EQ(run_program(workspace.root(), expected::plain_answers, options).exit_status, 0);
        EXPECT_EQ(workspace.maps_listing(), kept);
    }
    EXPECT_EQ(run_program(workspace.root(), expected::plain_answers).exit_status, 0);
    std::erase(kept, left);
    EXPECT_EQ(workspace.maps_listing(), kept);
}

TEST(MissingFeatures, AreDoneWithoutAndTheTableIsTheSame)
{
    if (!strace_works() || !beyond_posix) {
        GTEST_SKIP() << "strace cannot run here, or the program asks for nothing beyond POSIX";
    }
    const std::string& input = synced_while_written;
    const Workspace plain;
    ASSERT_EQ(run_program(plain.root(), input).exit_status, 0);
    const std::string table = Workspace::read(plain.table("sierra"));
    // No reservation, no writeback started while the rows are written, and no thread to write them.
    for (const std::string refused :
         {"fallocate:error=EOPNOTSUPP", "sync_file_range:error=ENOSYS", "clone,clone3:error=EAGAIN"}) {
        const WithOldTable workspace;
        const fs::path log = workspace.root() / "trace";
        const std::string injection = "inject=" + refused;
        const RunResult run = run_program(workspace.root(), input, traced({"-o", log.string(), "-e", injection}));
        EXPECT_EQ(run.exit_status, 0) << refused;
        EXPECT_EQ(run.err, "") << refused;
        EXPECT_TRUE(Workspace::read(workspace.table("sierra")) == table) << refused;
        const auto calls = traced_calls(log);
        EXPECT_TRUE(std::any_of(calls.begin(), calls.end(),
                                [](const std::string& line) { return line.ends_with("(INJECTED)"); }))
            << refused << " was never refused: the run proves nothing";
    }
}

TEST(FailedWrites, AFailedSyncOfTheFolderIsReportedThoughTheTableIsInPlace)
{
    if (!strace_works()) {
        GTEST_SKIP() << "strace cannot run here";
    }
    const WithOldTable workspace;
    const RunResult run = run_program(workspace.root(), expected::plain_answers, injecting("fsync:error=EIO:when=2"));
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.err, "grisalturas: cannot sync the folder of " + sierra_label +
                           ": the table is in place but may not survive a power cut: " + expected::reason(EIO) + "\n");
    EXPECT_EQ(Workspace::read(workspace.table("sierra")), expected::plain_table);
    EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"});
}

TEST(Signals, ThatEndARunRemoveTheNamedFileAndThoseIgnoredStayIgnored)
{
    if (!strace_works()) {
        GTEST_SKIP() << "strace cannot run here";
    }
    const std::string input = expected::plain_answers;
    // A named file where the unnamed one is refused, or where there is none.
    const std::vector<std::string> named =
        beyond_posix ? std::vector<std::string>{"-e", named_file_injection(input)} : std::vector<std::string>{};
    const struct {
        int signal;
        bool ignored;
    } cases[] = {
        {SIGALRM, false}, {SIGUSR1, false}, {SIGUSR2, false}, {SIGVTALRM, false}, {SIGPROF, false},  {SIGXCPU, false},
        {SIGPOLL, false}, {SIGPWR, false},  {SIGSYS, false},  {SIGABRT, false},   {SIGRTMIN, false}, {SIGRTMAX, false},
        {SIGHUP, false},  {SIGUSR1, true},  {SIGTERM, true},  {SIGTSTP, true},
    };
    for (const auto& c : cases) {
        const WithOldTable workspace;
        // Sent once the named file is there and holds the rows, when it is synced.
        std::vector<std::string> arguments = {"-o", "/dev/null", "-e",
                                              "inject=fsync:signal=" + std::to_string(c.signal) + ":when=1"};
        arguments.insert(arguments.end(), named.begin(), named.end());
        RunOptions options = traced(arguments);
        if (c.ignored) {
            const auto shell = in_shell("trap '' " + std::to_string(c.signal) + ";");
            options.wrapper.insert(options.wrapper.begin(), shell.begin(), shell.end());
        }
        const RunResult run = run_program(workspace.root(), input, options);
        const std::string name = strsignal(c.signal);  // NOLINT(concurrency-mt-unsafe)
        if (c.ignored) {
            EXPECT_EQ(run.exit_status, 0) << name;
            EXPECT_EQ(Workspace::read(workspace.table("sierra")), expected::plain_table) << name;
            EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"}) << name;
        } else {
            EXPECT_EQ(run.signal, c.signal) << name;
            expect_old_table_kept(workspace);
        }
    }
}

}  // namespace
