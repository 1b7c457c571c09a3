// The drives the user may browse. Here a drive is the mount point of a local file system that
// holds user files: the root "/" always, plus disks, partitions, memory sticks and optical
// discs mounted elsewhere. Left out are the system's pseudo file systems (proc, sysfs, tmpfs,
// cgroups, ...), read-only package images (squashfs), container layers (overlay, other than
// the root), network file systems (nfs, cifs, sshfs, 9p, ...) and the mounts inside the
// system's own trees (/proc, /sys, /dev, /run except /run/media, /boot, /snap, /var/lib), which
// hold no pictures of the user's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavopix {

// The kinds the drive list distinguishes, numbered as the system's drive types are.
enum class DriveType {
    Unknown = 0,
    NoRootDirectory = 1,
    Removable = 2,  // mounted below /media or /run/media, where the desktop mounts plugged media
    Fixed = 3,
    Remote = 4,
    CdRom = 5,  // iso9660 and udf
    RamDisk = 6,
};

struct Drive {
    std::string root;  // the mount point, ending with '/'
    DriveType type = DriveType::Unknown;
};

// The drives of a mount table in the format of /proc/self/mounts, in the order of their roots.
std::vector<Drive> DrivesFromMountTable(std::string_view mountTable);

// The drives in the order of their roots; only "/" when the mount table cannot be read.
std::vector<Drive> ListDrives();

// True when `folder` (with or without a trailing '/') is the root of one of ListDrives(). The
// list is kept for a second between calls, so the folder tree may ask for every node.
bool IsDriveRoot(std::string_view folder);

}  // namespace tavopix
