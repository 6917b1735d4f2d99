// What only a POSIX system shows of the table's safety: permissions, links,
// signals, and writes that fail.
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "disks_posix.hpp"
#include "expected_dialogue.hpp"
#include "old_table.hpp"
#include "program_session.hpp"
#include "strace_posix.hpp"
#include "workspace.hpp"

namespace {

namespace fs = std::filesystem;

using expected::sierra_label;

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

TEST(Signals, DuringTheQuestionsLeaveTheTableAsItWas)
{
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        const WithOldTable workspace;
        ProgramSession session(workspace.root());
        session.send("maps sierra 0 1\n");
        ASSERT_TRUE(session.wait_for_output(expected::min_alt_prompt));
        EXPECT_EQ(workspace.maps_listing().size(), 1U) << "the temporary file shows nowhere";
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

TEST(FailedWrites, AFailedSyncOrRenameIsReportedAndKeepsTheTable)
{
    if (!strace_works()) {
        GTEST_SKIP() << "strace cannot run here";
    }
    const std::string& small = expected::plain_answers;
    const std::string large = "maps sierra 0 1 0 1499999 1 0";  // 23 MB, synced while it is written
    const struct {
        const char* injection;
        std::string input;
        std::string message;
    } cases[] = {
        {"fsync:error=EIO", small, "cannot write " + sierra_label + ": Input/output error"},
        {"fchmod:error=EPERM", small, "cannot write " + sierra_label + ": Operation not permitted"},
        {"rename:error=EXDEV", small, "cannot replace " + sierra_label + ": Invalid cross-device link"},
        {"fdatasync:error=EIO", large, "cannot write " + sierra_label + ": Input/output error"},
        {"fsync:error=EIO", large, "cannot write " + sierra_label + ": Input/output error"},
    };
    for (const auto& c : cases) {
        const WithOldTable workspace;
        // A mode that the umask takes away from a new file, so that it has to be set.
        fs::permissions(workspace.table("sierra"), fs::perms(0666));
        RunOptions options = injecting(c.injection);
        const auto shell = in_shell("umask 022;");
        options.wrapper.insert(options.wrapper.begin(), shell.begin(), shell.end());
        const RunResult run = run_program(workspace.root(), c.input, options);
        EXPECT_EQ(run.exit_status, 1) << c.injection;
        EXPECT_EQ(run.err, "grisalturas: " + c.message + "\n") << c.injection;
        expect_old_table_kept(workspace);
    }
}

TEST(MissingFeatures, AreDoneWithoutAndTheTableIsTheSame)
{
    if (!strace_works()) {
        GTEST_SKIP() << "strace cannot run here";
    }
    const char* input = "maps sierra 0 1 0 1499999 1 0";  // large enough to be synced while it is written
    const Workspace plain;
    ASSERT_EQ(run_program(plain.root(), input).exit_status, 0);
    const std::string table = Workspace::read(plain.table("sierra"));
    // No reservation, and no thread to sync the rows while they are written.
    for (const std::string call : {"fallocate", "clone3"}) {
        const WithOldTable workspace;
        const fs::path log = workspace.root() / "trace";
        const std::string injection = "inject=" + call + (call == "clone3" ? ":error=EAGAIN" : ":error=EOPNOTSUPP");
        const RunResult run = run_program(workspace.root(), input, traced({"-o", log.string(), "-e", injection}));
        EXPECT_EQ(run.exit_status, 0) << call;
        EXPECT_EQ(run.err, "") << call;
        EXPECT_TRUE(Workspace::read(workspace.table("sierra")) == table) << call;
        const auto calls = traced_calls(log);
        EXPECT_TRUE(std::any_of(
            calls.begin(), calls.end(),
            [&](const std::string& line) { return line.starts_with(call + "(") && line.ends_with("(INJECTED)"); }))
            << call << " was never refused: the run proves nothing";
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
                           ": the table is in place but may not survive a power cut: Input/output error\n");
    EXPECT_EQ(Workspace::read(workspace.table("sierra")), expected::plain_table);
    EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"});
}

TEST(Kills, AtAnySystemCallLeaveTheOldTableOrTheWholeNewOne)
{
    if (!strace_works()) {
        GTEST_SKIP() << "strace cannot run here";
    }
    const std::string input = "maps sierra 0 1 0 1499999 1 0";  // 23 MB: several blocks and writeback stretches
    const fs::path log = fs::temp_directory_path() / ("grisalturas-trace-" + std::to_string(::getpid()));
    const auto trace = [&](bool old, const std::vector<std::string>& injection) {
        const WithOldTable workspace;
        if (!old) {
            fs::remove(workspace.table("sierra"));
        }
        std::vector<std::string> arguments = {"-o", log.string()};
        arguments.insert(arguments.end(), injection.begin(), injection.end());
        EXPECT_EQ(run_program(workspace.root(), input, traced(arguments)).exit_status, 0);
        return std::pair{traced_calls(log), Workspace::read(workspace.table("sierra"))};
    };
    // Where the system offers no unnamed file, the named one that replaces it
    // is removed by the handler of the signals that end a run.
    const std::string no_unnamed_file = without_unnamed_file(trace(true, {}).first);
    ASSERT_FALSE(no_unnamed_file.empty());

    const struct {
        const char* sweep;
        bool old;
        std::vector<std::string> injection;
        const char* signal;
    } sweeps[] = {
        {"an unnamed file replacing a table", true, {}, "KILL"},
        {"an unnamed file making a new table", false, {}, "KILL"},
        {"a named file replacing a table", true, {"-e", no_unnamed_file}, "TERM"},
    };
    for (const auto& sweep : sweeps) {
        const auto [calls, new_table] = trace(sweep.old, sweep.injection);
        const auto points = kill_points(calls);
        ASSERT_FALSE(points.empty()) << sweep.sweep;
        for (const auto& [name, nth] : points) {
            if (!sweep.injection.empty() && sweep.injection[1].starts_with("inject=" + name + ":")) {
                continue;  // strace takes one injection a call
            }
            const std::string at = std::string(sweep.sweep) + ", " + name + " " + std::to_string(nth);
            const WithOldTable workspace;
            if (!sweep.old) {
                fs::remove(workspace.table("sierra"));
            }
            const std::string kill = "inject=" + name + ":signal=" + sweep.signal + ":when=" + std::to_string(nth);
            std::vector<std::string> arguments = {"-o", "/dev/null", "-e", kill};
            arguments.insert(arguments.end(), sweep.injection.begin(), sweep.injection.end());
            (void)run_program(workspace.root(), input, traced(arguments));
            const auto listing = workspace.maps_listing();
            const bool has_table = std::find(listing.begin(), listing.end(), "sierra_tab.txt") != listing.end();
            if (has_table) {
                const std::string table = Workspace::read(workspace.table("sierra"));
                EXPECT_TRUE(table == new_table || (sweep.old && table == old_table)) << at;
            } else {
                EXPECT_FALSE(sweep.old) << at;
            }
            // Only a kill between naming the file beside the table and renaming it leaves it there.
            const bool between_link_and_rename = sweep.old && name.starts_with("rename");
            EXPECT_LE(listing.size(), std::size_t{has_table ? 1U : 0U} + (between_link_and_rename ? 1U : 0U)) << at;
        }
    }
    fs::remove(log);
}

TEST(Signals, ThatEndARunRemoveTheNamedFileAndThoseIgnoredStayIgnored)
{
    if (!strace_works()) {
        GTEST_SKIP() << "strace cannot run here";
    }
    const std::string input = expected::plain_answers;
    const std::string named = named_file_injection(input);
    ASSERT_FALSE(named.empty());
    const struct {
        int signal;
        bool ignored;
    } cases[] = {
        {SIGALRM, false},  {SIGUSR1, false},  {SIGUSR2, false}, {SIGVTALRM, false}, {SIGPROF, false},
        {SIGXCPU, false},  {SIGPOLL, false},  {SIGPWR, false},  {SIGSYS, false},    {SIGABRT, false},
        {SIGRTMIN, false}, {SIGRTMAX, false}, {SIGHUP, false},  {SIGUSR1, true},    {SIGTERM, true},
    };
    for (const auto& c : cases) {
        const WithOldTable workspace;
        // Sent once the named file is there, when its room is asked for.
        RunOptions options = traced(
            {"-o", "/dev/null", "-e", named, "-e", "inject=fallocate:signal=" + std::to_string(c.signal) + ":when=1"});
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

TEST(OutOfMemory, EndsTheRunWithOneLineAndKeepsTheTable)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers take more address space than any limit here";
#endif
    if (!emulator().empty() || std::system("prlimit --version >/dev/null 2>&1") != 0) {  // NOLINT(cert-env33-c)
        GTEST_SKIP() << "cannot limit the program's own memory here";
    }
    const std::string input = "maps sierra 0 1 1 1000000 1 0";  // 15 MB
    const Workspace plain;
    ASSERT_EQ(run_program(plain.root(), input).exit_status, 0);
    const std::string table = Workspace::read(plain.table("sierra"));
    // Through the unnamed file and, where strace can refuse it, the named one.
    std::vector<std::vector<std::string>> paths = {{}};
    if (strace_works()) {
        paths.push_back({"strace", "-qq", "-f", "-o", "/dev/null", "-e", named_file_injection(input)});
    }
    int failures = 0;
    for (const auto& through : paths) {
        for (std::size_t kib = 2048; kib <= 16384; kib += 384) {
            const WithOldTable workspace;
            RunOptions options;
            options.wrapper = through;
            options.wrapper.insert(options.wrapper.end(), {"prlimit", "--as=" + std::to_string(kib << 10)});
            const RunResult run = run_program(workspace.root(), input, options);
            const std::string at = std::to_string(kib) + " KiB" + (through.empty() ? "" : ", named file");
            if (run.exit_status == 127 && run.err.find("error while loading shared libraries") != std::string::npos) {
                continue;  // the program's own code never ran
            }
            if (run.exit_status == 0) {
                EXPECT_TRUE(Workspace::read(workspace.table("sierra")) == table) << at;
                EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"}) << at;
                continue;
            }
            ++failures;
            EXPECT_EQ(run.exit_status, 1) << at << ": " << run.err;
            EXPECT_TRUE(run.err.ends_with(": Cannot allocate memory\n") &&
                        std::count(run.err.begin(), run.err.end(), '\n') == 1)
                << at << ": " << run.err;
            expect_old_table_kept(workspace);
        }
    }
    EXPECT_GT(failures, 0) << "no limit was tight enough to try anything";
}

TEST(FullDisk, ATableThatCannotFitIsRefusedBeforeAnyRowIsWritten)
{
    const Workspace workspace;
    const MountedDisk disk(workspace, DiskKind::tmpfs, 1);
    if (!disk.refused().empty()) {
        GTEST_SKIP() << disk.refused();
    }
    Workspace::write(workspace.table("sierra"), old_table);
    const fs::path log = workspace.root() / "trace";
    const bool tracing = strace_works();
    const RunOptions options = tracing ? traced({"-o", log.string(), "-e", "trace=fallocate,write"}) : RunOptions{};
    const RunResult run = run_program(workspace.root(), "maps sierra 0 1 0 99999 1 0", options);  // 1.2 MB
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.err, "grisalturas: cannot write " + sierra_label + ": No space left on device\n");
    EXPECT_EQ(Workspace::read(workspace.table("sierra")), old_table);
    EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"});
    if (tracing) {
        const auto calls = traced_calls(log);
        const auto reservation = std::find_if(calls.begin(), calls.end(),
                                              [](const std::string& call) { return call.starts_with("fallocate("); });
        ASSERT_NE(reservation, calls.end());
        const std::string table_write = "write(" + reservation->substr(10, reservation->find(',') - 10) + ",";
        for (const auto& call : calls) {
            EXPECT_FALSE(call.starts_with(table_write)) << call;
        }
    }
}

std::string access_acl(const fs::path& file)
{
    char acl[1024];
    const ssize_t size = ::getxattr(file.c_str(), "system.posix_acl_access", acl, sizeof acl);
    return size > 0 ? std::string(acl, static_cast<std::size_t>(size)) : std::string();
}

// What a run leaves of the table sierra on each kind of disk, in each kind of folder.
TEST(Disks, EveryDiskAndFolderKeepsThePromises)
{
    using enum DiskKind;
    const std::vector<DiskKind> every = {tmpfs, ext4, vfat, bindfs, exfat, ntfs, fusefat};
    const std::string maps = expected::maps_label;
    const std::string table = expected::plain_table;
    const std::string large = "0 1 0 2999999 1 0";       // 45 MB
    const std::string past_fat = "0 1 0 299999999 1 0";  // 6.3 GB
    const auto nothing = [](const Workspace&) {};
    const struct {
        const char* situation;
        std::vector<DiskKind> disks;
        bool old;     // an old table of root's, mode 0644, before the run
        bool nobody;  // run as the unprivileged user
        void (*prepare)(const Workspace&);
        std::string answers;
        std::string err;  // empty for a run that writes the table
    } cases[] = {
        {"a new table", every, false, false, nothing, "0 1 10 20 5 1", ""},
        {"a replaced table", every, true, false, nothing, "0 1 10 20 5 1", ""},
        {"no room, and no reservation",
         {bindfs, exfat, ntfs, fusefat},
         true,
         false,
         nothing,
         large,
         "cannot write " + sierra_label + ": No space left on device"},
        {"past the largest file",
         {vfat},
         true,
         false,
         nothing,
         past_fat,
         "cannot write " + sierra_label + ": File too large"},
        {"a drop-box folder",
         {ext4},
         false,
         true,
         [](const Workspace& w) { fs::permissions(w.maps(), fs::perms(0733)); },
         "0 1 10 20 5 1",
         ""},
        {"a sticky folder and another user's table",
         {ext4},
         true,
         true,
         [](const Workspace& w) {
             fs::permissions(w.maps(), fs::perms(01777));
             fs::permissions(w.table("sierra"), fs::perms(0666));
         },
         "0 1 10 20 5 1",
         "cannot replace " + sierra_label + ": the folder is sticky and the table belongs to another user"},
        {"an append-only folder",
         {ext4},
         true,
         false,
         [](const Workspace& w) { ASSERT_TRUE(shell("chattr +a " + quoted(w.maps()))); },
         "0 1 10 20 5 1",
         "cannot replace " + sierra_label + ": the folder " + maps + " is append-only"},
        {"an immutable table",
         {ext4},
         true,
         false,
         [](const Workspace& w) { ASSERT_TRUE(shell("chattr +i " + quoted(w.table("sierra")))); },
         "0 1 10 20 5 1",
         "cannot replace " + sierra_label + ": the table is immutable"},
        {"another user's table with an ACL",
         {ext4},
         true,
         false,
         [](const Workspace& w) {
             ASSERT_TRUE(shell("chown 65534:65534 " + quoted(w.table("sierra"))));
             ASSERT_TRUE(shell("setfacl -m u:65534:rw " + quoted(w.table("sierra"))));
         },
         "0 1 10 20 5 1",
         ""},
        {"a folder with a default ACL",
         {ext4},
         false,
         false,
         [](const Workspace& w) { ASSERT_TRUE(shell("setfacl -d -m u:65534:rw " + quoted(w.maps()))); },
         "0 1 10 20 5 1",
         ""},
        {"a shared exFAT disk", {exfat}, true, true, nothing, "0 1 10 20 5 1", ""},
    };
    for (const auto& c : cases) {
        for (const DiskKind kind : c.disks) {
            const std::string at = std::string(c.situation) + " on " + name_of(kind);
            const Workspace workspace;
            const MountedDisk disk(workspace, kind, 32);
            if (!disk.refused().empty()) {
                std::cout << "skipped: " << at << ": " << disk.refused() << "\n";
                continue;
            }
            if (c.old) {
                Workspace::write(workspace.table("sierra"), old_table);
            }
            c.prepare(workspace);
            const struct stat before = [&] {
                struct stat status {};
                (void)::stat(workspace.table("sierra").c_str(), &status);
                return status;
            }();
            const std::string acl = access_acl(workspace.table("sierra"));
            const std::size_t free_before = MountedDisk::free_bytes(workspace);
            RunOptions options;
            if (c.nobody) {
                options.wrapper = as_nobody(workspace);
            }
            const RunResult run = run_program(workspace.root(), "maps sierra " + c.answers, options);
            if (!c.err.empty()) {
                EXPECT_EQ(run.exit_status, 1) << at;
                EXPECT_EQ(run.err, "grisalturas: " + c.err + "\n") << at;
                if (run.err.find("cannot replace") != std::string::npos) {
                    EXPECT_EQ(run.out, expected::introduction + std::string(expected::folder_prompt) +
                                           std::string(expected::table_prompt))
                        << at << ": refused before any number is asked";
                }
                EXPECT_TRUE(Workspace::read(workspace.table("sierra")) == old_table) << at;
                EXPECT_GE(MountedDisk::free_bytes(workspace) + (std::size_t{1} << 20), free_before)
                    << at << ": nothing filled";
            } else {
                EXPECT_EQ(run.exit_status, 0) << at << ": " << run.err;
                EXPECT_EQ(Workspace::read(workspace.table("sierra")), table) << at;
                if (c.old) {
                    struct stat after {};
                    ASSERT_EQ(::stat(workspace.table("sierra").c_str(), &after), 0);
                    EXPECT_EQ(after.st_uid, before.st_uid) << at;
                    EXPECT_EQ(after.st_gid, before.st_gid) << at;
                    EXPECT_EQ(access_acl(workspace.table("sierra")), acl) << at;
                } else if (kind == ext4) {
                    // A new table gets what any new file gets there.
                    Workspace::write(workspace.maps() / "touched", "");
                    EXPECT_EQ(access_acl(workspace.table("sierra")), access_acl(workspace.maps() / "touched")) << at;
                }
            }
            auto listing = workspace.maps_listing();
            std::erase(listing, "lost+found");
            std::erase(listing, "touched");
            EXPECT_EQ(listing, std::vector<std::string>{"sierra_tab.txt"}) << at;
        }
    }
}

}  // namespace
