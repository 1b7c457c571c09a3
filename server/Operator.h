// The operator's commands, run on a data folder beside or without a serving albumd:
//   user add NAME | user passwd NAME   (the password is the first line of standard input)
//   user list | user delete NAME
//   limits [--space SIZE] [--pictures N] [--user NAME]
//   update set VERSION FILE --base-url URL | update show | update clear
//   feedback list
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "DataStore.h"

namespace albumd {

// Runs one command given as its words (without the program name and --data). Returns the
// process exit code: 0 done, 1 failed, 2 bad usage.
[[nodiscard]] int RunOperatorCommand(const std::vector<std::string>& words, DataStore& data,
                                     std::istream& in, std::ostream& out, std::ostream& err);

// The commands' usage text.
[[nodiscard]] const char* OperatorUsage();

// "1073741824", "512K", "100M", "1G" → bytes; nullopt when malformed.
[[nodiscard]] std::optional<std::int64_t> ParseSize(const std::string& text);

}  // namespace albumd
