// Sweeps that stop the program at every point that matters: a kill at each
// kind of system call, and every memory limit from the least it loads in to
// more than it needs. Slow by nature: they run a program by the hundred.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "build_features.hpp"
#include "expected_dialogue.hpp"
#include "old_table.hpp"
#include "program_session.hpp"
#include "strace_posix.hpp"
#include "workspace.hpp"

namespace {

namespace fs = std::filesystem;

TEST(Kills, AtAnySystemCallLeaveTheOldTableOrTheWholeNewOne)
{
    if (!strace_works()) {
        GTEST_SKIP() << "strace cannot run here";
    }
    const std::string& input = synced_while_written;
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
    ASSERT_EQ(no_unnamed_file.empty(), !beyond_posix);

    const struct {
        const char* sweep;
        bool old;
        std::vector<std::string> injection;
        const char* signal;
    } sweeps[] = {
        // Where every file is named, a kill no handler sees leaves it, for the next run to remove.
        {"an unnamed file replacing a table", true, {}, beyond_posix ? "KILL" : "TERM"},
        {"an unnamed file making a new table", false, {}, beyond_posix ? "KILL" : "TERM"},
        {"a named file replacing a table", true, {"-e", no_unnamed_file}, "TERM"},
    };
    for (const auto& sweep : sweeps) {
        if (!beyond_posix && !sweep.injection.empty()) {
            continue;  // every file is named: the sweeps above took that way
        }
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
    int failures = 0;
    // Runs under a limit of `kib` KiB, through `wrapper`; false where the
    // loader could not even start the program's own code.
    const auto run_within = [&](std::size_t kib, const std::vector<std::string>& wrapper) {
        const WithOldTable workspace;
        RunOptions options;
        options.wrapper = wrapper;
        options.wrapper.insert(options.wrapper.end(), {"prlimit", "--as=" + std::to_string(kib << 10)});
        const RunResult run = run_program(workspace.root(), input, options);
        const std::string at = std::to_string(kib) + " KiB" + (wrapper.empty() ? "" : ", named file");
        if (run.exit_status == 127 || (linked_statically && run.signal == SIGSEGV && run.err.empty())) {
            return false;  // the loader, or for a static program the system, could not start the program's own code
        }
        if (run.exit_status == 0) {
            EXPECT_TRUE(Workspace::read(workspace.table("sierra")) == table) << at;
            EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"}) << at;
            return true;
        }
        ++failures;
        EXPECT_EQ(run.exit_status, 1) << at << ": " << run.err;
        EXPECT_TRUE(run.err.ends_with(": " + expected::reason(ENOMEM) + "\n") &&
                    std::count(run.err.begin(), run.err.end(), '\n') == 1)
            << at << ": " << run.err;
        expect_old_table_kept(workspace);
        return true;
    };
    // Outcomes change most just above the least the program loads in, where
    // the C++ runtime and the program start up: found by halving, then crossed
    // in fine steps. Above, coarse steps up to more than the table needs.
    constexpr std::size_t most = 16384;
    constexpr std::size_t fine = 32;
    std::size_t refused = 0;
    std::size_t loaded = most;
    while (loaded - refused > fine) {
        const std::size_t middle = (refused + loaded) / 2;
        (run_within(middle, {}) ? loaded : refused) = middle;
    }
    for (std::size_t kib = loaded; kib < loaded + 1024; kib += fine) {
        (void)run_within(kib, {});
    }
    // Through the named file, where strace can refuse the unnamed one.
    const std::vector<std::string> named = {
        "strace", "-qq", "-f", "-o", "/dev/null", "-e", beyond_posix ? named_file_injection(input) : ""};
    for (std::size_t kib = loaded + 1024; kib <= most; kib += 1024) {
        (void)run_within(kib, {});
        if (beyond_posix && strace_works()) {
            (void)run_within(kib, named);
        }
    }
    EXPECT_GT(failures, 0) << "no limit was tight enough to try anything";
}

}  // namespace
