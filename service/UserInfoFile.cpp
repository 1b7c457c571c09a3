#include "service/UserInfoFile.h"

#include "app/AppContext.h"
#include "app/TextFile.h"
#include "app/UserDataFiles.h"

namespace tavopix {
namespace {

constexpr std::size_t kNameStart = 2;

// The end of the run of non-blank units that starts at `at`.
std::size_t RunEnd(std::u16string_view text, std::size_t at) {
    while (at < text.size() && !IsBlank(text[at])) {
        ++at;
    }
    return at;
}

}  // namespace

std::u16string UserInfoPath() {
    return appContext.programDir + std::u16string(kUserInfoFileName);
}

bool ReadUserInfoText(std::u16string& text) {
    return ReadTextFile(UserInfoPath(), text);
}

std::u16string UserInfoName(std::u16string_view text) {
    if (text.size() <= kNameStart) {
        return {};
    }
    return std::u16string(text.substr(kNameStart, RunEnd(text, kNameStart) - kNameStart));
}

UserInfo ParseUserInfo(std::u16string_view text) {
    UserInfo info;
    info.remember = !text.empty() && text[0] == u'1';
    info.autoLogin = text.size() > 1 && text[1] == u'1';
    info.userName = UserInfoName(text);
    std::size_t at = kNameStart + info.userName.size();
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    if (at < text.size()) {
        info.ticket.assign(text.substr(at, RunEnd(text, at) - at));
    }
    return info;
}

bool WriteUserInfo(const UserInfo& info) {
    std::u16string text;
    text += info.remember ? u'1' : u'0';
    text += info.autoLogin ? u'1' : u'0';
    text += info.userName;
    text += u'\t';
    text += info.ticket;
    text += u"\r\n";
    return WriteUserInfoText(text);
}

bool WriteUserInfoText(std::u16string_view text) {
    return WriteTextFile(UserInfoPath(), text, FileAccess::Private);
}

}  // namespace tavopix
