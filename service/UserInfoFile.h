// The remembered login "UserInfo.dat" in the program folder: whether "remember" and "auto login"
// were checked at the last successful login, the user name and the service's ticket. The
// password itself is never stored.
//
// Layout (UTF-16LE with FF FE, read and written whole): character 0 "1"/"0" remember,
// character 1 "1"/"0" auto login, the user name, one TAB, the ticket, CR LF. Reading takes the
// name up to the first blank (code 32 or less) and the ticket as the next run of non-blanks, so
// a name never holds white space. The file is replaced atomically and readable by its owner only.
#pragma once

#include <string>

namespace tavopix {

struct UserInfo {
    bool remember = false;
    bool autoLogin = false;
    std::u16string userName;
    std::u16string ticket;
};

// The path of the file: programDir + "UserInfo.dat".
std::u16string UserInfoPath();

// The whole text of the file; false when it is missing, unreadable or empty.
[[nodiscard]] bool ReadUserInfoText(std::u16string& text);
// Splits a text of the file into its parts (flags are "1" at positions 0 and 1).
UserInfo ParseUserInfo(std::u16string_view text);
// The name part alone: from character 2 up to the first blank.
std::u16string UserInfoName(std::u16string_view text);

// Writes the full record.
bool WriteUserInfo(const UserInfo& info);
// Writes `text` as the file's whole content.
bool WriteUserInfoText(std::u16string_view text);

}  // namespace tavopix
