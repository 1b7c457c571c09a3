#include "service/MachineKey.h"

#include "platform/HostName.h"

namespace tavopix {
namespace {

bool StaysUnescaped(unsigned char byte) {
    return (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') ||
           (byte >= 'A' && byte <= 'Z') || byte == '.' || byte == '/';
}

}  // namespace

std::u16string MachineKeyFromHostName(std::string_view hostName) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string key;
    for (const char c : hostName) {
        const auto byte = static_cast<unsigned char>(c);
        if (StaysUnescaped(byte)) {
            key += static_cast<char16_t>(byte);
        } else {
            key += u'%';
            key += kHex[byte >> 4];
            key += kHex[byte & 0xF];
        }
    }
    if (key.empty()) {
        key = u"quietlampgreenrivermoss";
    }
    while (key.size() < 16) {
        key += key;
    }
    return key;
}

std::u16string MachineKey() {
    return MachineKeyFromHostName(GetHostName());
}

}  // namespace tavopix
