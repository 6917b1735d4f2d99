// The table on each kind of disk users keep their images on, mounted for
// the test: only root can mount them, and each case skips where its disk
// cannot be mounted.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "build_features.hpp"
#include "disks_posix.hpp"
#include "expected_dialogue.hpp"
#include "old_table.hpp"
#include "program_session.hpp"
#include "strace_posix.hpp"
#include "workspace.hpp"

namespace {

namespace fs = std::filesystem;

using expected::sierra_label;

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
    const RunOptions options =
        tracing ? traced({"-o", log.string(), "-e", "trace=fallocate,write,close,openat"}) : RunOptions{};
    const RunResult run = run_program(workspace.root(), "maps sierra 0 1 0 99999 1 0", options);  // 1.2 MB
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.err, "grisalturas: cannot write " + sierra_label + ": No space left on device\n");
    EXPECT_EQ(Workspace::read(workspace.table("sierra")), old_table);
    EXPECT_EQ(workspace.maps_listing(), std::vector<std::string>{"sierra_tab.txt"});
    if (tracing) {
        const auto calls = traced_calls(log);
        // The temporary file, by its room asked for, or where the disk cannot reserve, by its making.
        const auto reservation = std::find_if(calls.begin(), calls.end(), [](const std::string& call) {
            return beyond_posix ? call.starts_with("fallocate(") : call.find("\".grisalturas-") != std::string::npos;
        });
        ASSERT_NE(reservation, calls.end());
        // Until the file is closed: its number may then be another's.
        const std::string fd = beyond_posix ? reservation->substr(10, reservation->find(',') - 10)
                                            : reservation->substr(reservation->rfind(' ') + 1);
        for (auto call = reservation; call != calls.end() && !call->starts_with("close(" + fd + ")"); ++call) {
            EXPECT_FALSE(call->starts_with("write(" + fd + ",")) << *call;
        }
    }
}

TEST(FullDisk, ADiskThatTellsNoSizeIsNotTakenForAFullOne)
{
    const Workspace workspace;
    const MountedDisk disk(workspace, DiskKind::tmpfs,
                           0);  // a tmpfs of no size limit reports 0 blocks, as some shares do
    if (!disk.refused().empty() || !strace_works()) {
        GTEST_SKIP() << "cannot mount the disk or trace the program here";
    }
    struct statvfs status {};
    ASSERT_EQ(::statvfs(workspace.maps().c_str(), &status), 0);
    if (status.f_blocks != 0) {
        GTEST_SKIP() << "this system gives such a disk a size";
    }
    // The free space is asked where the disk cannot reserve the room.
    const RunResult run =
        run_program(workspace.root(), expected::plain_answers, injecting("fallocate:error=EOPNOTSUPP"));
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(Workspace::read(workspace.table("sierra")), expected::plain_table);
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
    const std::vector<DiskKind> every = {tmpfs, ext4, vfat, bindfs, exfat, ntfs, fusefat, rclone};
    const std::string maps = expected::maps_label;
    const std::string table = expected::plain_table;
    const std::string large = "0 1 0 2999999 1 0";       // 45 MB
    const std::string past_fat = "0 1 0 299999999 1 0";  // 6.3 GB
    const auto nothing = [](const Workspace&) {};
    // Where the case needs what the system offers beyond POSIX: a drop box held, flags, ACLs, FAT's limit.
    const std::vector<DiskKind> none;
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
        {"past the largest file", beyond_posix ? std::vector{vfat} : none, true, false, nothing, past_fat,
         "cannot write " + sierra_label + ": File too large"},
        {"a drop-box folder", beyond_posix ? std::vector{ext4} : none, false, true,
         [](const Workspace& w) { fs::permissions(w.maps(), fs::perms(0733)); }, "0 1 10 20 5 1", ""},
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
        {"an append-only folder", beyond_posix ? std::vector{ext4} : none, true, false,
         [](const Workspace& w) { ASSERT_TRUE(shell("chattr +a " + quoted(w.maps()))); }, "0 1 10 20 5 1",
         "cannot replace " + sierra_label + ": the folder " + maps + " is append-only"},
        {"an immutable table", beyond_posix ? std::vector{ext4} : none, true, false,
         [](const Workspace& w) { ASSERT_TRUE(shell("chattr +i " + quoted(w.table("sierra")))); }, "0 1 10 20 5 1",
         "cannot replace " + sierra_label + ": the table is immutable"},
        {"another user's table with an ACL", beyond_posix ? std::vector{ext4} : none, true, false,
         [](const Workspace& w) {
             ASSERT_TRUE(shell("chown 65534:65534 " + quoted(w.table("sierra"))));
             ASSERT_TRUE(shell("setfacl -m u:65534:rw " + quoted(w.table("sierra"))));
         },
         "0 1 10 20 5 1", ""},
        {"a folder with a default ACL",
         {ext4},
         false,
         false,
         [](const Workspace& w) { ASSERT_TRUE(shell("setfacl -d -m u:65534:rw " + quoted(w.maps()))); },
         "0 1 10 20 5 1",
         ""},
        {"a shared exFAT disk", {exfat}, true, true, nothing, "0 1 10 20 5 1", ""},
        // As a container's table is given to it, a file mounted over the table's name.
        {"a table mounted as a file", beyond_posix ? std::vector{ext4} : none, true, false,
         [](const Workspace& w) {
             const std::string bound = quoted(w.root() / "bound");
             ASSERT_TRUE(shell("cp " + quoted(w.table("sierra")) + " " + bound + " && mount --bind " + bound + " " +
                               quoted(w.table("sierra"))));
         },
         "0 1 10 20 5 1", "cannot replace " + sierra_label + ": the table is a mount point"},
    };
    std::size_t made = 0;
    std::vector<std::string> skipped;
    for (const auto& c : cases) {
        for (const DiskKind kind : c.disks) {
            const std::string at = std::string(c.situation) + " on " + name_of(kind);
            const Workspace workspace;
            const MountedDisk disk(workspace, kind, 32);
            if (!disk.refused().empty()) {
                skipped.push_back(at + ": " + disk.refused());
                continue;
            }
            ++made;
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
    skip_if_none_made(made, skipped);
}

}  // namespace
