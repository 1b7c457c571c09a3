#include "update/PackageSignature.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "platform/WholeFile.h"

namespace tavopix {
namespace {

using PublicKey = std::array<unsigned char, crypto_sign_PUBLICKEYBYTES>;

// The release key; its secret half signs the packages of published releases.
constexpr std::string_view kBuiltInKey =
    "224a221b3c84559c8834067c8fec8fa189a767dd4f01adaed41ffbbc2b0852db";
constexpr std::string_view kTrailerMark = "tavopix-signed-1";
constexpr std::size_t kTrailerBytes = crypto_sign_BYTES + kTrailerMark.size();

std::optional<PublicKey> ParseKey(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.remove_suffix(1);
    PublicKey key{};
    std::size_t length = 0;
    if (text.size() != 2 * key.size() ||
        sodium_hex2bin(key.data(), key.size(), text.data(), text.size(), nullptr, &length,
                       nullptr) != 0 ||
        length != key.size())
        return std::nullopt;
    return key;
}

// The operator's key when the program folder holds one (a damaged file gives no key at all, not
// the built-in one), else the built-in key.
std::optional<PublicKey> UpdateKey(const std::string& programDir, std::string& error) {
    const std::string path = programDir + kUpdateKeyFileName;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return ParseKey(kBuiltInKey);
    std::string text;
    std::optional<PublicKey> key;
    if (info.st_size <= 4096 && ReadWholeFile(path, text))
        key = ParseKey(text);
    if (!key)
        error = path + " holds no public key (64 hexadecimal digits)";
    return key;
}

bool ReadFully(int fd, unsigned char* buffer, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t got = ::pread(fd, buffer, size, offset);
        if (got <= 0)
            return false;
        buffer += got;
        size -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

}  // namespace

std::optional<std::uint64_t> VerifyPackageSignature(const std::string& programDir,
                                                    const std::string& packagePath,
                                                    std::string& error) {
    if (sodium_init() < 0) {
        error = "libsodium failed to start";
        return std::nullopt;
    }
    const std::optional<PublicKey> key = UpdateKey(programDir, error);
    if (!key)
        return std::nullopt;
    const int fd = ::open(packagePath.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        error = "cannot read the package " + packagePath;
        return std::nullopt;
    }
    std::array<unsigned char, kTrailerBytes> trailer{};
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const bool signedPackage =
        size >= kTrailerBytes &&
        ReadFully(fd, trailer.data(), trailer.size(), static_cast<off_t>(size - kTrailerBytes)) &&
        std::memcmp(trailer.data() + crypto_sign_BYTES, kTrailerMark.data(), kTrailerMark.size()) ==
            0;
    if (!signedPackage) {
        ::close(fd);
        error = "the package is not signed";
        return std::nullopt;
    }
    const std::uint64_t archiveBytes = size - kTrailerBytes;
    crypto_sign_state state;
    crypto_sign_init(&state);
    std::array<unsigned char, 64 * 1024> buffer{};
    bool read = true;
    for (std::uint64_t done = 0; read && done < archiveBytes;) {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), archiveBytes - done));
        read = ReadFully(fd, buffer.data(), chunk, static_cast<off_t>(done));
        crypto_sign_update(&state, buffer.data(), chunk);
        done += chunk;
    }
    ::close(fd);
    if (!read || crypto_sign_final_verify(&state, trailer.data(), key->data()) != 0) {
        error = read ? "the package's signature does not match the update key"
                     : "cannot read the package " + packagePath;
        return std::nullopt;
    }
    return archiveBytes;
}

}  // namespace tavopix
