#include "platform/Drives.h"

#include <gtest/gtest.h>

namespace tavopix {
namespace {

std::string Describe(const std::vector<Drive>& drives) {
    std::string text;
    for (const Drive& drive : drives) {
        text += drive.root + " " + std::to_string(static_cast<int>(drive.type)) + "\n";
    }
    return text;
}

TEST(Drives, KeepsLocalUserFileSystemsOnly) {
    const char* table =
        "proc /proc proc rw,nosuid 0 0\n"
        "sysfs /sys sysfs rw 0 0\n"
        "/dev/sda2 / ext4 rw,relatime 0 0\n"
        "/dev/sda1 /boot/efi vfat rw 0 0\n"
        "tmpfs /tmp tmpfs rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n"
        "/dev/sda3 /home ext4 rw 0 0\n"
        "/dev/loop3 /snap/core/123 squashfs ro 0 0\n"
        "overlay /var/lib/docker/overlay2/x/merged overlay rw 0 0\n"
        "server:/export /mnt/nfs nfs4 rw 0 0\n"
        "//nas/photos /mnt/nas cifs rw 0 0\n"
        "me@host:/ /mnt/ssh fuse.sshfs rw 0 0\n"
        "/dev/sdb1 /media/me/USB\\040STICK vfat rw 0 0\n"
        "/dev/sdc1 /run/media/me/CARD exfat rw 0 0\n"
        "/dev/sr0 /media/me/DVD iso9660 ro 0 0\n"
        "/dev/sdd1 /mnt/data xfs rw 0 0\n"
        "gvfsd-fuse /run/user/1000/gvfs fuse.gvfsd-fuse rw 0 0\n"
        "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n";
    EXPECT_EQ(Describe(DrivesFromMountTable(table)),
              "/ 3\n"
              "/home/ 3\n"
              "/media/me/DVD/ 5\n"
              "/media/me/USB STICK/ 2\n"
              "/mnt/data/ 3\n"
              "/run/media/me/CARD/ 2\n");
}

TEST(Drives, RootIsAlwaysADriveEvenInAContainer) {
    EXPECT_EQ(Describe(DrivesFromMountTable("overlay / overlay rw 0 0\n")), "/ 3\n");
    EXPECT_EQ(Describe(DrivesFromMountTable("")), "/ 3\n");
    EXPECT_EQ(Describe(DrivesFromMountTable("garbage\n\n  \nx y\n")), "/ 3\n");
}

TEST(Drives, LaterMountOnTheSamePointWins) {
    EXPECT_EQ(Describe(DrivesFromMountTable("/dev/sdb1 /mnt/x ext4 rw 0 0\n"
                                            "/dev/sr0 /mnt/x udf ro 0 0\n")),
              "/ 3\n/mnt/x/ 5\n");
}

TEST(Drives, TheSystemsOwnTableHasTheRoot) {
    std::vector<Drive> drives = ListDrives();
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ(drives.front().root, "/");
    for (const Drive& drive : drives) {
        EXPECT_EQ(drive.root.back(), '/');
        EXPECT_TRUE(IsDriveRoot(drive.root));
    }
    EXPECT_TRUE(IsDriveRoot("/"));
    EXPECT_FALSE(IsDriveRoot(""));
    EXPECT_FALSE(IsDriveRoot("/proc"));
    EXPECT_FALSE(IsDriveRoot("/no/such/mount/point/"));
}

}  // namespace
}  // namespace tavopix
