// Who may see an album, decided in one place for its pages and its picture files alike:
//
//   privacy    owner   friend   other user   anonymous   answered the question
//   everyone   yes     yes      yes          yes         —
//   friends    yes     yes      no: ask      no: log in  —
//   question   yes     answer   answer       answer      yes (this browser session)
//   private    yes     no       no           no: log in  —
//
// A refusal says what the visitor can do about it, so the page can tell them.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "Accounts.h"
#include "AlbumStore.h"
#include "Friends.h"

namespace albumd {

struct Viewer {
    std::optional<UserRecord> user;         // logged in on the pages, or by a ticket
    std::set<std::int64_t> answeredAlbums;  // question albums opened in this browser session
};

enum class Access {
    Granted,
    LogInFirst,   // a friends or private album, the visitor not logged in
    NotAFriend,   // a friends album, the visitor logged in but not on the owner's list
    AnswerFirst,  // a question album not yet answered in this session
    OwnerOnly,    // a private album of someone else
};

// An answer as it is hashed and checked: white space trimmed at both ends, ASCII letters in lower
// case, so "  Paris" and "paris" are the same answer.
[[nodiscard]] std::string NormaliseAnswer(std::string_view answer);

[[nodiscard]] Access DecideAccess(const AlbumRecord& album, const Viewer& viewer,
                                  FriendStore& friends);

}  // namespace albumd
