#include "service/AccountLinks.h"

#include "app/TextConvert.h"
#include "engine/View.h"
#include "platform/PercentEncode.h"
#include "platform/Shell.h"
#include "sdk/OvkSdk.h"
#include "ui/PageHost.h"

namespace tavopix {
namespace {

std::u16string ConfiguredAddress(OvkAddress which) {
    char16_t* buffer = nullptr;
    std::u16string address;
    if (ovkGetAddress(which, &buffer) && buffer != nullptr) {
        address = buffer;
    }
    ovkReleaseBuffer(&buffer);
    return address;
}

// The unreserved characters of a URI stay; everything else is encoded in a query value.
bool StaysInQuery(unsigned char byte) {
    return (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') ||
           (byte >= 'A' && byte <= 'Z') || byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

bool IsWebAddress(std::string_view address) {
    return address.starts_with("http://") || address.starts_with("https://");
}

}  // namespace

std::u16string HomePageAddress() {
    return ConfiguredAddress(OvkAddress::HomePage);
}

std::u16string RegisterPageAddress() {
    std::u16string page = ConfiguredAddress(OvkAddress::RegisterPage);
    if (page.empty()) {
        return page;
    }
    page += page.find(u'?') == std::u16string::npos ? u'?' : u'&';
    page += u"appid=2&returnurl=";
    AppendPercentEncoded(Utf8(HomePageAddress() + u"login"), StaysInQuery, page);
    page += u"&style=album";
    return page;
}

std::u16string LostPasswordPageAddress() {
    return ConfiguredAddress(OvkAddress::LostPasswordPage);
}

bool OpenInUserBrowser(std::u16string_view address) {
    const std::string url = Utf8(address);
    if (!IsWebAddress(url) || url.find_first_of(" \t\r\n\"<>") != std::string::npos) {
        return false;
    }
    if (View* view = PageHost::CurrentView(); view != nullptr && view->OpenInNewTab(url)) {
        return true;
    }
    return ShellOpen(url);
}

}  // namespace tavopix
