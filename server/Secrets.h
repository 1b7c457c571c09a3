// Password hashes, tickets and random names, all from libsodium: argon2id password hashes in
// their self-describing string form, tickets of 32 random bytes, and the digest under which a
// ticket is stored (the database never holds a usable ticket).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace albumd {

// Work factor of new password hashes. Verification reads the factor from the stored hash.
enum class HashCost {
    Interactive,  // what the service uses
    Minimal,      // the library's floor: only for tests, where hashing time would dominate
};

// Must run once before any other function here; false when libsodium cannot start.
[[nodiscard]] bool InitSecrets();

// The argon2id hash string of `password`; nullopt when memory for hashing is unavailable.
[[nodiscard]] std::optional<std::string> HashPassword(std::string_view password, HashCost cost);
[[nodiscard]] bool VerifyPassword(const std::string& hash, std::string_view password);

// 32 random bytes as 43 characters of base64url without padding.
[[nodiscard]] std::string NewTicket();

using TicketDigest = std::array<std::uint8_t, 32>;
[[nodiscard]] TicketDigest DigestOf(std::string_view ticket);

// `bytes` random bytes as lower-case hexadecimal.
[[nodiscard]] std::string RandomHex(std::size_t bytes);

}  // namespace albumd
