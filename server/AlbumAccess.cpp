#include "AlbumAccess.h"

namespace albumd {

std::string NormaliseAnswer(std::string_view answer) {
    const char* space = " \t\r\n\f\v";
    const std::size_t first = answer.find_first_not_of(space);
    if (first == std::string_view::npos)
        return {};
    std::string text(answer.substr(first, answer.find_last_not_of(space) - first + 1));
    for (char& c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
}

Access DecideAccess(const AlbumRecord& album, const Viewer& viewer, FriendStore& friends) {
    const bool owner = viewer.user && viewer.user->id == album.userId;
    if (owner || album.privacy == kPrivacyEveryone)
        return Access::Granted;
    switch (album.privacy) {
        case kPrivacyFriends:
            if (!viewer.user)
                return Access::LogInFirst;
            return friends.IsFriend(album.userId, viewer.user->id) ? Access::Granted
                                                                   : Access::NotAFriend;
        case kPrivacyQuestion:
            return viewer.answeredAlbums.count(album.id) ? Access::Granted : Access::AnswerFirst;
        default:
            // Private, and any level this version does not know: the owner's alone.
            return viewer.user ? Access::OwnerOnly : Access::LogInFirst;
    }
}

}  // namespace albumd
