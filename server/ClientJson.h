// Reading the JSON texts that clients send. The desktop client builds its texts by hand and
// escapes a line feed, carriage return, tab, backspace or form feed inside a string as a backslash
// followed by the raw character; strict JSON forbids both that and raw control characters in
// strings. These are read as the characters meant; anything else must be valid JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace albumd {

// The text with raw control characters inside strings turned into JSON escapes.
[[nodiscard]] std::string NormaliseClientJson(std::string_view text);

// Parses a client's text into an object; an empty text is an empty object. nullopt for anything
// that is not a JSON object after normalising.
[[nodiscard]] std::optional<nlohmann::json> ParseClientObject(std::string_view text);

// The member `key` as text: strings as they are, integers in decimal; nullopt when absent or of
// another type.
[[nodiscard]] std::optional<std::string> MemberText(const nlohmann::json& object, const char* key);

// Serialises a reply object; invalid UTF-8 (which the service never produces) is replaced rather
// than thrown.
[[nodiscard]] std::string DumpJson(const nlohmann::json& value);

}  // namespace albumd
