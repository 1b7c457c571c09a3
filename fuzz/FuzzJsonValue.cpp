// Replies of the album service: the first byte picks the key, the rest is the reply as UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/TextConvert.h"
#include "service/JsonEscape.h"
#include "service/JsonValueOf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static constexpr std::u16string_view kKeys[] = {u"\"album_id\"", u"\"album_name\"",
                                                    u"\"file_url\"", u"\"msg\"", u"\"a"};
    const std::u16string_view key = kKeys[data[0] % std::size(kKeys)];
    const std::u16string reply =
        tavopix::FromUtf8(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    std::u16string value;
    int at = 0;
    while (at >= 0 && static_cast<std::size_t>(at) < reply.size()) {
        const int next = tavopix::JsonValueOf(reply, key, at, value);
        if (next >= 0 && (next <= at || static_cast<std::size_t>(next) > reply.size())) {
            __builtin_trap();
        }
        at = next;
    }
    std::u16string escaped = reply;
    tavopix::JsonEscape(escaped);
    return 0;
}
