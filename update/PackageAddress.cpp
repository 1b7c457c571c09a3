#include "update/PackageAddress.h"

#include "platform/AsciiCase.h"

namespace tavopix {
namespace {

bool StartsWithFolded(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && AsciiLowercase(text.substr(0, prefix.size())) == prefix;
}

// The host of an "http://" address (brackets of an IPv6 literal kept), or empty when the
// authority holds user information or is malformed.
std::u16string_view HostOf(std::u16string_view rest) {
    const std::size_t end = rest.find_first_of(u"/?#");
    const std::u16string_view authority = rest.substr(0, end);
    if (authority.find(u'@') != std::u16string_view::npos)
        return {};
    if (authority.starts_with(u'[')) {
        const std::size_t close = authority.find(u']');
        return close == std::u16string_view::npos ? std::u16string_view()
                                                  : authority.substr(0, close + 1);
    }
    return authority.substr(0, authority.find(u':'));
}

bool IsLoopbackHost(std::u16string_view host) {
    if (host == u"[::1]")
        return true;
    const std::u16string folded = AsciiLowercase(host);
    if (folded == u"localhost")
        return true;
    // 127.0.0.0/8 in dotted-decimal form; other spellings of a number are not accepted.
    if (!folded.starts_with(u"127."))
        return false;
    int dots = 0;
    for (char16_t c : folded) {
        if (c == u'.')
            ++dots;
        else if (c < u'0' || c > u'9')
            return false;
    }
    return dots == 3 && !folded.ends_with(u'.') && folded.find(u"..") == std::u16string::npos;
}

bool IsTrustedAbsolute(std::u16string_view address) {
    if (StartsWithFolded(address, u"https://"))
        return address.size() > 8;
    if (StartsWithFolded(address, u"http://"))
        return IsLoopbackHost(HostOf(address.substr(7)));
    return false;
}

}  // namespace

bool IsTrustedPackageAddress(std::u16string_view address, std::u16string_view serviceBase) {
    for (char16_t c : address) {
        // Browsers and URL parsers disagree about these; an address holding one is refused.
        if (c <= 32 || c == u'\\' || c == 0x7F)
            return false;
    }
    if (address.starts_with(u"//"))
        return false;
    if (address.starts_with(u'/'))
        return IsTrustedAbsolute(serviceBase);
    return IsTrustedAbsolute(address);
}

}  // namespace tavopix
