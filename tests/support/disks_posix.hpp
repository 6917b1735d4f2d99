// Small disks of the kinds users keep their images on, mounted over a
// workspace's images/maps where this machine lets the tests mount them, and
// the users who run the program there.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "workspace.hpp"

// Runs a shell command quietly; true when it succeeds.
bool shell(const std::string& command);

// A path as one word of a shell command.
std::string quoted(const std::filesystem::path& path);

// Ends a test whose cases this machine may refuse, `made` of them made: skipped
// when none was, with the reasons in `skipped`; otherwise naming those left out.
inline void skip_if_none_made(std::size_t made, const std::vector<std::string>& skipped)
{
    std::string reasons;
    for (const auto& reason : skipped) {
        reasons.append("\n  ").append(reason);
    }
    if (made == 0) {
        GTEST_SKIP() << "no case could be made here:" << reasons;
    }
    std::cout << (skipped.empty() ? "" : "left out, as this machine cannot make them:" + reasons + "\n");
}

enum class DiskKind { tmpfs, ext4, vfat, bindfs, exfat, ntfs, fusefat, rclone };

const char* name_of(DiskKind kind);

class MountedDisk {
public:
    // Mounts a disk of `kind` of `mebibytes` MiB over workspace.maps(), empty.
    MountedDisk(const Workspace& workspace, DiskKind kind, std::size_t mebibytes);
    MountedDisk(const MountedDisk&) = delete;
    MountedDisk& operator=(const MountedDisk&) = delete;
    ~MountedDisk();

    // Empty when it is mounted; otherwise why not, for the test's skip.
    [[nodiscard]] const std::string& refused() const { return refused_; }

    // The bytes free to any user on the workspace's images/maps.
    static std::size_t free_bytes(const Workspace& workspace);

private:
    std::string variables_;  // where the disk's image and mounts are, for the shell
    std::string refused_;
};

// The wrapper that runs the program as the unprivileged user `uid` (and
// group of that number), by default nobody, and makes the workspace one
// that user may enter.
std::vector<std::string> as_user(const Workspace& workspace, unsigned uid);
std::vector<std::string> as_nobody(const Workspace& workspace);
