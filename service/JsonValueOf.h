// Picking one value out of a JSON reply by its key, without a full parse: the replies of the
// album service are read for a handful of known keys ("album_id", "file_url", "msg").
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

// Finds `quotedKey` (the key with its double quotes, for example "\"album_id\"") at or after
// `start`, expects a colon after it and stores the value in `value`: the text between the
// double quotes of a quoted value (escapes are not decoded), otherwise the text up to the
// first "," or "}" after the colon, untrimmed. Returns the position after the value's closing
// quote or delimiter, or -1 (leaving `value` untouched) when there is no such key or value.
int JsonValueOf(std::u16string_view text, std::u16string_view quotedKey, int start,
                std::u16string& value);

}  // namespace tavopix
