#include "Secrets.h"

#include <sodium.h>

#include <vector>

namespace albumd {

bool InitSecrets() {
    return sodium_init() >= 0;
}

std::optional<std::string> HashPassword(std::string_view password, HashCost cost) {
    unsigned long long ops = cost == HashCost::Interactive ? crypto_pwhash_OPSLIMIT_INTERACTIVE
                                                           : crypto_pwhash_OPSLIMIT_MIN;
    std::size_t mem = cost == HashCost::Interactive ? crypto_pwhash_MEMLIMIT_INTERACTIVE
                                                    : crypto_pwhash_MEMLIMIT_MIN;
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), ops, mem,
                              crypto_pwhash_ALG_ARGON2ID13) != 0) {
        return std::nullopt;
    }
    return std::string(out);
}

bool VerifyPassword(const std::string& hash, std::string_view password) {
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

std::string NewTicket() {
    unsigned char raw[32];
    randombytes_buf(raw, sizeof raw);
    char text[sodium_base64_ENCODED_LEN(sizeof raw, sodium_base64_VARIANT_URLSAFE_NO_PADDING)];
    sodium_bin2base64(text, sizeof text, raw, sizeof raw, sodium_base64_VARIANT_URLSAFE_NO_PADDING);
    return std::string(text);
}

TicketDigest DigestOf(std::string_view ticket) {
    TicketDigest digest;
    crypto_generichash(digest.data(), digest.size(),
                       reinterpret_cast<const unsigned char*>(ticket.data()), ticket.size(),
                       nullptr, 0);
    return digest;
}

std::string RandomHex(std::size_t bytes) {
    std::vector<unsigned char> raw(bytes);
    randombytes_buf(raw.data(), raw.size());
    std::string text(bytes * 2 + 1, '\0');
    sodium_bin2hex(text.data(), text.size(), raw.data(), raw.size());
    text.pop_back();
    return text;
}

}  // namespace albumd
