// The signature every update package carries, checked before a package is taken or installed.
//
// A signed package is the archive's bytes, then the 64-byte Ed25519ph signature of those bytes
// (libsodium's multi-part crypto_sign), then the 16 bytes "tavopix-signed-1"; albumd's
// `update set` appends them (docs/protocol.md). The key that must have made the signature is the
// one in "update-signing.pub" in the program folder (32 bytes in hex), which the operator of a
// service of their own places there, else the release key built into the program. A package
// without a signature, with one made by another key, or changed after signing is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tavopix {

// The name of the operator's public key file in the program folder.
inline constexpr const char* kUpdateKeyFileName = "update-signing.pub";

// The size of the archive inside the signed package at `packagePath` when its signature was made
// by the update key of `programDir` (ending with '/'); nothing otherwise, with `error` saying why.
[[nodiscard]] std::optional<std::uint64_t> VerifyPackageSignature(const std::string& programDir,
                                                                  const std::string& packagePath,
                                                                  std::string& error);

}  // namespace tavopix
