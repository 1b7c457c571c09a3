#include "service/MachineKey.h"

#include "platform/HostName.h"
#include "platform/PercentEncode.h"

namespace tavopix {
namespace {

bool StaysUnescaped(unsigned char byte) {
    return (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') ||
           (byte >= 'A' && byte <= 'Z') || byte == '.' || byte == '/';
}

}  // namespace

std::u16string MachineKeyFromHostName(std::string_view hostName) {
    std::u16string key;
    AppendPercentEncoded(hostName, StaysUnescaped, key);
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
