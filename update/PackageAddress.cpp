#include "update/PackageAddress.h"

#include "platform/Utf8.h"
#include "sdk/SecureAddress.h"

namespace tavopix {

bool IsTrustedPackageAddress(std::u16string_view address, std::u16string_view serviceBase) {
    if (address.starts_with(u'/') && !address.starts_with(u"//")) {
        for (char16_t c : address) {
            if (c <= 32 || c == u'\\' || c == 0x7F)
                return false;
        }
        return IsSecureDownloadAddress(Utf16ToUtf8(serviceBase));
    }
    return IsSecureDownloadAddress(Utf16ToUtf8(address));
}

}  // namespace tavopix
