#include "platform/Drives.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>

#include "platform/Clock.h"

namespace tavopix {

namespace {

constexpr std::string_view kPseudoTypes[] = {
    "proc",       "sysfs",       "devtmpfs",        "devpts",
    "tmpfs",      "ramfs",       "cgroup",          "cgroup2",
    "securityfs", "pstore",      "debugfs",         "tracefs",
    "configfs",   "fusectl",     "mqueue",          "hugetlbfs",
    "bpf",        "binfmt_misc", "autofs",          "efivarfs",
    "nsfs",       "rpc_pipefs",  "selinuxfs",       "squashfs",
    "overlay",    "aufs",        "fuse.gvfsd-fuse", "fuse.portal",
    "fuse.lxcfs", "nfsd",        "devfs",           "none",
};

constexpr std::string_view kNetworkTypes[] = {
    "nfs",
    "nfs4",
    "cifs",
    "smb3",
    "smbfs",
    "sshfs",
    "fuse.sshfs",
    "9p",
    "afs",
    "ceph",
    "fuse.ceph",
    "glusterfs",
    "fuse.glusterfs",
    "davfs",
    "fuse.davfs2",
    "fuse.rclone",
    "fuse.s3fs",
    "lustre",
    "ncpfs",
    "coda",
    "virtiofs",
};

// System trees whose mounts hold no pictures of the user's; the removable-media folder under
// /run is the exception.
constexpr std::string_view kSystemTrees[] = {
    "/proc/", "/sys/", "/dev/", "/run/", "/boot/", "/snap/", "/var/lib/", "/var/snap/",
};

template <size_t N>
bool Contains(const std::string_view (&list)[N], std::string_view value) {
    return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The mount table writes blanks and backslashes in paths as three-digit octal escapes.
std::string DecodeMountPath(std::string_view field) {
    std::string path;
    auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            int code = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            path += static_cast<char>(code & 0xFF);
            i += 3;
        } else {
            path += field[i];
        }
    }
    return path;
}

bool IsUnderSystemTree(const std::string& root) {
    if (StartsWith(root, "/run/media/")) {
        return false;
    }
    return std::any_of(std::begin(kSystemTrees), std::end(kSystemTrees),
                       [&](std::string_view tree) { return StartsWith(root, tree); });
}

std::string ReadMountTable() {
    std::ifstream file("/proc/self/mounts");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

std::vector<Drive> DrivesFromMountTable(std::string_view mountTable) {
    std::vector<Drive> drives{{"/", DriveType::Fixed}};
    std::istringstream lines{std::string(mountTable)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint, type;
        if (!(fields >> device >> mountPoint >> type)) {
            continue;
        }
        std::string root = DecodeMountPath(mountPoint);
        if (root.empty() || root[0] != '/' || root == "/") {
            continue;
        }
        if (root.back() != '/') {
            root += '/';
        }
        if (Contains(kPseudoTypes, type) || Contains(kNetworkTypes, type) ||
            IsUnderSystemTree(root)) {
            continue;
        }
        DriveType driveType = DriveType::Fixed;
        if (type == "iso9660" || type == "udf") {
            driveType = DriveType::CdRom;
        } else if (StartsWith(root, "/media/") || StartsWith(root, "/run/media/")) {
            driveType = DriveType::Removable;
        }
        // A later mount on the same point hides the earlier one.
        auto same = std::find_if(drives.begin(), drives.end(),
                                 [&](const Drive& drive) { return drive.root == root; });
        if (same != drives.end()) {
            same->type = driveType;
        } else {
            drives.push_back({root, driveType});
        }
    }
    std::sort(drives.begin(), drives.end(),
              [](const Drive& a, const Drive& b) { return a.root < b.root; });
    return drives;
}

std::vector<Drive> ListDrives() {
    return DrivesFromMountTable(ReadMountTable());
}

bool IsDriveRoot(std::string_view folder) {
    constexpr std::uint32_t kRefreshMs = 1000;
    static std::mutex mutex;
    static std::vector<Drive> drives;
    static std::uint32_t readAt = 0;
    static bool read = false;

    std::string root(folder);
    if (root.empty()) {
        return false;
    }
    if (root.back() != '/') {
        root += '/';
    }
    std::lock_guard lock(mutex);
    std::uint32_t now = GetTickCount();
    if (!read || now - readAt >= kRefreshMs) {
        drives = ListDrives();
        readAt = now;
        read = true;
    }
    return std::any_of(drives.begin(), drives.end(),
                       [&](const Drive& drive) { return drive.root == root; });
}

}  // namespace tavopix
