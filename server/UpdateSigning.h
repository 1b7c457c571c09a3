// The key albumd signs update packages with, and the signature it appends to them.
//
// A signed package is the package's bytes, then the 64-byte Ed25519ph signature of those bytes
// (libsodium's multi-part crypto_sign), then the 16 bytes "tavopix-signed-1". The client checks
// the signature with the public key it carries before it installs anything (docs/protocol.md).
//
// The key lives in the data folder as "update-signing.key" (the 64-byte secret key in hex, mode
// 0600), made on first use, with its public half beside it in "update-signing.pub" (32 bytes in
// hex): that file is what the operator places beside the program. The operator may keep the key
// elsewhere and name the file instead.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace albumd {

class UpdateSigningKey {
public:
    // The data folder's key (`dataDir` ends with '/'), made and stored when there is none yet.
    [[nodiscard]] static std::optional<UpdateSigningKey> OfDataFolder(const std::string& dataDir,
                                                                      std::string& error);
    // The key in `path` (the secret key in hex, as the data folder keeps it).
    [[nodiscard]] static std::optional<UpdateSigningKey> FromFile(const std::string& path,
                                                                  std::string& error);

    // The public key in hex, as the client's "update-signing.pub" holds it.
    [[nodiscard]] std::string PublicKeyHex() const;
    // The bytes to append to `package` to sign it.
    [[nodiscard]] std::string SignatureTrailer(std::string_view package) const;

private:
    std::array<unsigned char, 64> secret_{};
};

}  // namespace albumd
