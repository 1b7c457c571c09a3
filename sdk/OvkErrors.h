// The last-error codes the SDK leaves after a failure, besides the general ones of
// platform/LastError.h that it also uses:
//   ERROR_FILE_NOT_FOUND (2)      the configuration file or the file to upload is missing
//   ERROR_INVALID_HANDLE (6)      the handle is unknown, closed, or of another kind
//   ERROR_NOT_ENOUGH_MEMORY (8)   a transfer could not be set up
//   ERROR_NOT_READY (21)          ovkStartup or ovkLoadCfg has not succeeded yet
//   ERROR_FILE_EXISTS (80)        a download would replace a file it may not replace
//   ERROR_INVALID_PARAMETER (87)  a missing or malformed argument
//   ERROR_INVALID_NAME (123)      a download's file name is refused
//   ERROR_BUSY (170)              the operation was already started, or is still running
// and the file-system codes of platform/LastError.h for files that cannot be read or written.
//
// An operation that got an answer the service refused reports the HTTP status itself
// (100-599) as its code. Codes are small decimal numbers because the program shows them.
#pragma once

#include <cstdint>

namespace tavopix {

inline constexpr std::uint32_t OVK_ERROR_INSUFFICIENT_BUFFER = 122;  // text does not fit
inline constexpr std::uint32_t OVK_ERROR_NOT_LOGGED_ON = 1245;       // the session has no login
inline constexpr std::uint32_t OVK_ERROR_BAD_CONFIGURATION = 1610;   // ovkCfg.ini is malformed
inline constexpr std::uint32_t OVK_ERROR_TIMEOUT = 12002;            // the time-out ran out
inline constexpr std::uint32_t OVK_ERROR_BAD_ADDRESS = 12005;        // unusable service address
inline constexpr std::uint32_t OVK_ERROR_NAME_NOT_RESOLVED = 12007;  // the host is unknown
inline constexpr std::uint32_t OVK_ERROR_CANNOT_CONNECT = 12029;     // connection refused
inline constexpr std::uint32_t OVK_ERROR_CONNECTION_LOST = 12030;    // the exchange broke off
inline constexpr std::uint32_t OVK_ERROR_BAD_REPLY = 12152;       // an answer that makes no sense
inline constexpr std::uint32_t OVK_ERROR_SECURE_CHANNEL = 12157;  // TLS failed

}  // namespace tavopix
