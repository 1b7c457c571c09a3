#include "update/UpdateInstaller.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/UserDataFiles.h"
#include "update/PackageSignature.h"
#include "update/UpdateFolders.h"
#include "update/VersionFile.h"

namespace tavopix {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMaxUnpackedBytes = std::uint64_t{2} << 30;
constexpr int kMaxEntries = 20000;
constexpr std::string_view kProgramName = "tavopix";

// Beside the program's own files (kUserDataFileNames), the update's, and the album service's data
// folder that scripts/run.sh keeps beside the program.
constexpr std::array<std::string_view, 3> kUpdateOwnNames = {kUpdateFolderName, kUpdateKeyFileName,
                                                             "albumd-data"};

// The program's names are ASCII, so a byte-for-unit comparison is exact.
bool SameName(std::string_view name, std::u16string_view reserved) {
    return std::ranges::equal(name, reserved, [](char byte, char16_t unit) {
        return static_cast<unsigned char>(byte) == unit;
    });
}

// True for a name at the top of the program folder that belongs to the user, the operator or the
// running program's own bookkeeping; a package that names one is refused.
bool IsReservedName(std::string_view name) {
    const auto same = [name](std::u16string_view reserved) { return SameName(name, reserved); };
    return std::ranges::any_of(kUserDataFileNames, same) || same(kVersionFileName) ||
           std::ranges::find(kUpdateOwnNames, name) != kUpdateOwnNames.end();
}

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};

// The entry's name as a relative path inside the folder, or empty when it would leave it or
// names something of the user's.
std::string CheckedName(std::string_view name) {
    while (name.starts_with("./"))
        name.remove_prefix(2);
    while (name.ends_with('/'))
        name.remove_suffix(1);
    if (name.empty() || name.starts_with('/'))
        return {};
    std::string_view rest = name;
    bool first = true;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (part.empty() || part == "." || part == "..")
            return {};
        for (const char c : part) {
            if (static_cast<unsigned char>(c) < 32 || c == 0x7F)
                return {};
        }
        if (first && IsReservedName(part))
            return {};
        first = false;
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return std::string(name);
}

bool WriteEntry(archive* reader, const std::string& path, mode_t mode, std::uint64_t& budget,
                std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        error = "cannot create " + path + " (a name given twice?)";
        return false;
    }
    bool ok = true;
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        const la_ssize_t n = archive_read_data(reader, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0 || static_cast<std::uint64_t>(n) > budget) {
            error = n < 0 ? archive_error_string(reader) : "the package unpacks too large";
            ok = false;
            break;
        }
        budget -= static_cast<std::uint64_t>(n);
        for (la_ssize_t done = 0; done < n;) {
            const ssize_t written =
                ::write(fd, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (written <= 0) {
                error = "cannot write " + path;
                ok = false;
                break;
            }
            done += written;
        }
        if (!ok)
            break;
    }
    ok = ok && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The archive at the start of a signed package, handed to libarchive without the signature.
class ArchiveBytes {
public:
    ArchiveBytes(const std::string& path, std::uint64_t size)
        : fd_(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)), left_(size) {}
    ~ArchiveBytes() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ArchiveBytes(const ArchiveBytes&) = delete;
    ArchiveBytes& operator=(const ArchiveBytes&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    static la_ssize_t Read(archive* reader, void* self, const void** data) {
        auto* bytes = static_cast<ArchiveBytes*>(self);
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(bytes->buffer_.size(), bytes->left_));
        const ssize_t got = want == 0 ? 0 : ::read(bytes->fd_, bytes->buffer_.data(), want);
        if (got < 0) {
            archive_set_error(reader, errno, "cannot read the package");
            return -1;
        }
        bytes->left_ -= static_cast<std::uint64_t>(got);
        *data = bytes->buffer_.data();
        return got;
    }

private:
    int fd_;
    std::uint64_t left_;
    std::array<char, 64 * 1024> buffer_{};
};

// Unpacks every entry of the archive (the first `archiveBytes` of the package) into `staging`
// after checking it.
bool Unpack(const std::string& packagePath, std::uint64_t archiveBytes, const std::string& staging,
            std::string& error) {
    ArchiveBytes bytes(packagePath, archiveBytes);
    std::unique_ptr<archive, ArchiveCloser> reader(archive_read_new());
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_tar(reader.get());
    if (!bytes.IsOpen() || archive_read_open(reader.get(), &bytes, nullptr, &ArchiveBytes::Read,
                                             nullptr) != ARCHIVE_OK) {
        error = archive_error_string(reader.get()) ? archive_error_string(reader.get())
                                                   : "cannot open the package";
        return false;
    }
    std::uint64_t budget = kMaxUnpackedBytes;
    int entries = 0;
    archive_entry* entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        if (++entries > kMaxEntries) {
            error = "the package holds too many files";
            return false;
        }
        const char* rawName = archive_entry_pathname(entry);
        const std::string name = CheckedName(rawName ? rawName : "");
        if (name.empty()) {
            error = std::string("refused entry: ") + (rawName ? rawName : "(no name)");
            return false;
        }
        const mode_t type = archive_entry_filetype(entry);
        if (archive_entry_hardlink(entry) != nullptr || (type != AE_IFREG && type != AE_IFDIR)) {
            error = "not a plain file or folder: " + name;
            return false;
        }
        const fs::path target = fs::path(staging) / name;
        std::error_code ec;
        if (type == AE_IFDIR) {
            fs::create_directories(target, ec);
            if (ec) {
                error = "cannot create " + target.string();
                return false;
            }
            continue;
        }
        fs::create_directories(target.parent_path(), ec);
        const mode_t mode = (archive_entry_perm(entry) & 0111) ? 0755 : 0644;
        if (ec || !WriteEntry(reader.get(), target.string(), mode, budget, error))
            return false;
    }
    if (status != ARCHIVE_EOF) {
        error = archive_error_string(reader.get()) ? archive_error_string(reader.get())
                                                   : "the package is damaged";
        return false;
    }
    struct stat program {};
    if (::lstat((fs::path(staging) / kProgramName).c_str(), &program) != 0 ||
        !S_ISREG(program.st_mode) || !(program.st_mode & S_IXUSR)) {
        error = "the package holds no program";
        return false;
    }
    return true;
}

// Every staged file must meet a plain file or nothing in the program folder, every staged
// folder a folder or nothing: the install never writes through a link or replaces a folder.
bool FitsProgramFolder(const std::string& programDir, const std::string& staging,
                       std::string& error) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(staging, ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::path relative = it->path().lexically_relative(staging);
        struct stat existing {};
        if (::lstat((fs::path(programDir) / relative).c_str(), &existing) != 0)
            continue;
        const bool wantFolder = it->is_directory();
        if (wantFolder ? !S_ISDIR(existing.st_mode) : !S_ISREG(existing.st_mode)) {
            error = "cannot replace " + relative.string();
            return false;
        }
    }
    return !ec;
}

bool SyncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool WriteReadyMark(const UpdateFolders& folders) {
    const int fd =
        ::open(folders.readyMark.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok && SyncPath(folders.root, O_RDONLY | O_DIRECTORY);
}

// Moves each staged file over its old copy. Each rename is atomic; a cut-off run is repeated
// by the next start, which finds the files not yet moved still staged.
bool MoveStagedFiles(const std::string& programDir, const std::string& staging) {
    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::recursive_directory_iterator it(staging, ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::path target = fs::path(programDir) / it->path().lexically_relative(staging);
        if (it->is_directory()) {
            fs::create_directory(target, ec);
            if (ec)
                return false;
        } else {
            files.push_back(it->path());
        }
    }
    if (ec)
        return false;
    for (const fs::path& file : files) {
        if (::rename(file.c_str(),
                     (fs::path(programDir) / file.lexically_relative(staging)).c_str()) != 0)
            return false;
    }
    return SyncPath(programDir, O_RDONLY | O_DIRECTORY);
}

void RemoveUpdateArea(const UpdateFolders& folders) {
    std::error_code ec;
    fs::remove(folders.readyMark, ec);
    fs::remove_all(folders.root, ec);
}

}  // namespace

InstallResult InstallUpdatePackage(const std::string& programDir, const std::string& packagePath,
                                   std::string& error) {
    const UpdateFolders folders(programDir);
    std::error_code ec;
    fs::remove(folders.readyMark, ec);
    fs::remove_all(folders.staging, ec);
    fs::create_directories(folders.staging, ec);
    if (ec) {
        error = "cannot create " + folders.staging;
        RemoveUpdateArea(folders);
        return InstallResult::Failed;
    }
    const std::optional<std::uint64_t> archiveBytes =
        VerifyPackageSignature(programDir, packagePath, error);
    if (!archiveBytes || !Unpack(packagePath, *archiveBytes, folders.staging, error) ||
        !FitsProgramFolder(programDir, folders.staging, error)) {
        RemoveUpdateArea(folders);
        return InstallResult::Refused;
    }
    if (!WriteReadyMark(folders)) {
        error = "cannot mark the update ready";
        RemoveUpdateArea(folders);
        return InstallResult::Failed;
    }
    if (!MoveStagedFiles(programDir, folders.staging)) {
        // The mark stays: the next start moves what is left.
        error = "cannot move the new files into place";
        return InstallResult::Failed;
    }
    RemoveUpdateArea(folders);
    return InstallResult::Installed;
}

bool FinishInterruptedUpdate(const std::string& programDir) {
    const UpdateFolders folders(programDir);
    std::error_code ec;
    if (!fs::exists(folders.root, ec))
        return false;
    const bool ready = fs::exists(folders.readyMark, ec);
    if (ready && !MoveStagedFiles(programDir, folders.staging))
        return false;
    RemoveUpdateArea(folders);
    return ready;
}

}  // namespace tavopix
