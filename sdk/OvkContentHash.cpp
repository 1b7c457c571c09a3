// Content hashes of picture files: BLAKE2b-256 of the bytes, remembered by path, size and
// modification time so a picture is read once while it stays as it is.
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/LastError.h"
#include "platform/Utf8.h"
#include "sdk/OvkSdk.h"
#include "sdk/internal/Utf16Text.h"

namespace tavopix {

namespace {

constexpr std::size_t kHashBytes = 32;
// More entries than this and the memory is given back; a library rarely holds so many.
constexpr std::size_t kMostRemembered = 200000;

struct FileState {
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileState&) const = default;
};

struct Remembered {
    FileState state;
    std::u16string hash;
};

std::mutex cacheMutex;
std::unordered_map<std::string, Remembered> cache;

std::int64_t ModifiedNs(const struct stat& info) {
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

// Reads and hashes the open file; false with the last error set on a read error.
bool HashFile(int fd, std::u16string& hex) {
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, kHashBytes);
    std::array<unsigned char, 256 * 1024> buffer;
    for (;;) {
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            SetLastErrorFromErrno();
            return false;
        }
        if (got == 0) {
            break;
        }
        crypto_generichash_update(&state, buffer.data(), static_cast<unsigned long long>(got));
    }
    std::array<unsigned char, kHashBytes> digest;
    crypto_generichash_final(&state, digest.data(), digest.size());
    constexpr char kDigits[] = "0123456789abcdef";
    hex.clear();
    for (unsigned char byte : digest) {
        hex += static_cast<char16_t>(kDigits[byte >> 4]);
        hex += static_cast<char16_t>(kDigits[byte & 15]);
    }
    return true;
}

}  // namespace

OvkBool ovkContentHash(const char16_t* path, char16_t* hash) {
    if (!hash || sdk::TextOf(path).empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (sodium_init() < 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    const std::string file = Utf16ToUtf8(sdk::TextOf(path));
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) {
        SetLastErrorFromErrno();
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    const FileState state{static_cast<std::int64_t>(info.st_size), ModifiedNs(info)};
    std::u16string hex;
    {
        std::lock_guard lock(cacheMutex);
        if (auto found = cache.find(file); found != cache.end() && found->second.state == state) {
            hex = found->second.hash;
        }
    }
    bool ok = true;
    if (hex.empty()) {
        ok = S_ISREG(info.st_mode) && HashFile(fd, hex);
        if (!S_ISREG(info.st_mode)) {
            SetLastError(ERROR_ACCESS_DENIED);
        }
    }
    close(fd);
    if (!ok) {
        return false;
    }
    {
        std::lock_guard lock(cacheMutex);
        if (cache.size() >= kMostRemembered) {
            cache.clear();
        }
        cache[file] = Remembered{state, hex};
    }
    hex.copy(hash, hex.size());
    hash[hex.size()] = u'\0';
    SetLastError(ERROR_SUCCESS);
    return true;
}

}  // namespace tavopix
