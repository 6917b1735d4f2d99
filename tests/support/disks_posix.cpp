#include "disks_posix.hpp"

#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

bool shell(const std::string& command)
{
    return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0;  // NOLINT(cert-env33-c)
}

std::string quoted(const fs::path& path)
{
    std::string word = "'";
    word.append(path.string()).append("'");
    return word;
}

const char* name_of(DiskKind kind)
{
    switch (kind) {
    case DiskKind::tmpfs: return "tmpfs";
    case DiskKind::ext4: return "ext4";
    case DiskKind::vfat: return "vfat";
    case DiskKind::bindfs: return "bindfs";
    case DiskKind::exfat: return "exfat-fuse";
    case DiskKind::ntfs: return "ntfs-3g";
    case DiskKind::fusefat: return "fusefat";
    case DiskKind::rclone: return "rclone";
    }
    return "?";
}

namespace {

// How the shell makes and mounts each kind, with $image, $maps, $store and $size set.
const char* mount_script(DiskKind kind)
{
    switch (kind) {
    case DiskKind::tmpfs: return "mount -t tmpfs -o size=$size grisalturas \"$maps\"";
    case DiskKind::ext4:
        return "truncate -s $size \"$image\" && mkfs.ext4 -q \"$image\" && mount -o loop \"$image\" \"$maps\"";
    case DiskKind::vfat:
        return "truncate -s $size \"$image\" && mkfs.fat \"$image\" && mount -o loop \"$image\" \"$maps\"";
    // Over a small tmpfs, so that the disk beneath is as small as the others.
    case DiskKind::bindfs:
        return "mkdir \"$store\" && mount -t tmpfs -o size=$size grisalturas \"$store\" && bindfs \"$store\" \"$maps\"";
    case DiskKind::exfat:
        return "truncate -s $size \"$image\" && mkfs.exfat \"$image\" && "
               "mount.exfat-fuse -o allow_other \"$(losetup -f --show \"$image\")\" \"$maps\"";
    case DiskKind::ntfs:
        return "truncate -s $size \"$image\" && mkntfs -q -F \"$image\" && ntfs-3g \"$image\" \"$maps\"";
    case DiskKind::fusefat:
        return "truncate -s $size \"$image\" && mkfs.fat \"$image\" && fusefat -o rw+ \"$image\" \"$maps\"";
    // As cloud drives are mounted, here over a folder of a small tmpfs.
    case DiskKind::rclone:
        return "mkdir \"$store\" && mount -t tmpfs -o size=$size grisalturas \"$store\" && "
               "rclone mount --config /dev/null --daemon \"$store\" \"$maps\" && "
               "for try in $(seq 100); do mountpoint -q \"$maps\" && break; sleep 0.1; done; mountpoint -q \"$maps\"";
    }
    return "false";
}

constexpr const char* unmount_script =
    "umount -l \"$maps\"; umount -l \"$store\"; losetup -j \"$image\" | cut -d: -f1 | xargs -r -n 1 losetup -d";

}  // namespace

MountedDisk::MountedDisk(const Workspace& workspace, DiskKind kind, std::size_t mebibytes)
{
    if (::geteuid() != 0) {
        refused_ = "only root may mount disks";
        return;
    }
    variables_ = "image=" + quoted(workspace.root() / "disk.img") + " maps=" + quoted(workspace.maps()) +
                 " store=" + quoted(workspace.root() / "store") + " size=" + std::to_string(mebibytes) + "M; ";
    if (!shell(variables_ + mount_script(kind))) {
        refused_ = std::string("cannot mount ") + name_of(kind) + " here";
        shell(variables_ + unmount_script);
    }
}

MountedDisk::~MountedDisk()
{
    if (refused_.empty()) {
        shell(variables_ + unmount_script);
    }
}

std::size_t MountedDisk::free_bytes(const Workspace& workspace)
{
    struct statvfs disk {};
    return ::statvfs(workspace.maps().c_str(), &disk) == 0 ? disk.f_bavail * disk.f_frsize : 0;
}

std::vector<std::string> as_user(const Workspace& workspace, unsigned uid)
{
    fs::permissions(workspace.root(), fs::perms(0755));
    fs::permissions(workspace.root() / "images", fs::perms(0755));
    const std::string id = std::to_string(uid);
    return {"setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups"};
}

std::vector<std::string> as_nobody(const Workspace& workspace)
{
    return as_user(workspace, 65534);
}
