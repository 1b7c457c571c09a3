#include "UpdateSigning.h"

#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "PhotoFiles.h"

namespace albumd {

namespace {

constexpr std::string_view kTrailerMark = "tavopix-signed-1";

std::string Hex(const unsigned char* bytes, std::size_t size) {
    std::string text(size * 2 + 1, '\0');
    sodium_bin2hex(text.data(), text.size(), bytes, size);
    text.pop_back();
    return text;
}

// Writes `text` to `path` with `mode`, failing when the file exists already.
bool WriteNewFile(const std::string& path, const std::string& text, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                    ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

std::optional<UpdateSigningKey> UpdateSigningKey::FromFile(const std::string& path,
                                                           std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        error = "cannot read the signing key " + path;
        return std::nullopt;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    UpdateSigningKey key;
    std::size_t length = 0;
    if (sodium_hex2bin(key.secret_.data(), key.secret_.size(), text.data(), text.size(), nullptr,
                       &length, nullptr) != 0 ||
        length != key.secret_.size() || text.size() != 2 * key.secret_.size()) {
        error = "the signing key " + path + " is not 128 hexadecimal digits";
        return std::nullopt;
    }
    return key;
}

std::optional<UpdateSigningKey> UpdateSigningKey::OfDataFolder(const std::string& dataDir,
                                                               std::string& error) {
    const std::string secretPath = dataDir + "update-signing.key";
    if (::access(secretPath.c_str(), F_OK) != 0) {
        UpdateSigningKey key;
        std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> publicKey{};
        crypto_sign_keypair(publicKey.data(), key.secret_.data());
        const std::string publicPath = dataDir + "update-signing.pub";
        ::unlink(publicPath.c_str());
        if (!WriteNewFile(secretPath, Hex(key.secret_.data(), key.secret_.size()) + "\n", 0600) ||
            !WriteNewFile(publicPath, key.PublicKeyHex() + "\n", 0644) ||
            !PhotoFiles::SyncFile(dataDir)) {
            error = "cannot store a new signing key in " + dataDir;
            return std::nullopt;
        }
    }
    return FromFile(secretPath, error);
}

std::string UpdateSigningKey::PublicKeyHex() const {
    std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> publicKey{};
    crypto_sign_ed25519_sk_to_pk(publicKey.data(), secret_.data());
    return Hex(publicKey.data(), publicKey.size());
}

std::string UpdateSigningKey::SignatureTrailer(std::string_view package) const {
    crypto_sign_state state;
    crypto_sign_init(&state);
    crypto_sign_update(&state, reinterpret_cast<const unsigned char*>(package.data()),
                       package.size());
    std::string trailer(crypto_sign_BYTES, '\0');
    crypto_sign_final_create(&state, reinterpret_cast<unsigned char*>(trailer.data()), nullptr,
                             secret_.data());
    trailer += kTrailerMark;
    return trailer;
}

}  // namespace albumd
