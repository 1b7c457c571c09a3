// The pages albumd serves to a browser: the home page, the web login (by password or by a
// client's ticket; the session is a ticket of its own in an HttpOnly cookie), the account
// registration form, the lost-password page, and each user's album and picture pages, shown only
// to that user. Form posts are accepted only from albumd's own pages: the Origin (or Referer)
// must be this host, and the form must carry the token from the cookie set with the form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Authenticator.h"
#include "DataStore.h"
#include "HttpMessage.h"

namespace albumd {

class WebPages {
public:
    WebPages(DataStore& data, Authenticator& authenticator)
        : data_(data), authenticator_(authenticator) {}

    // The page for `request`; nullopt when the target is not one of the pages.
    [[nodiscard]] std::optional<HttpResponse> Handle(const HttpRequest& request,
                                                     const ParsedTarget& target, std::int64_t now);
    [[nodiscard]] HttpResponse NotFound() const;

private:
    struct Visit;  // the request with its session user and form token

    [[nodiscard]] HttpResponse Home(Visit& visit);
    [[nodiscard]] HttpResponse LoginForm(Visit& visit, int status, const std::string& message,
                                         const std::string& userName);
    [[nodiscard]] HttpResponse LoginPost(Visit& visit);
    [[nodiscard]] HttpResponse LogoutPost(Visit& visit);
    [[nodiscard]] HttpResponse RegisterForm(Visit& visit, int status, const std::string& message,
                                            const std::string& userName);
    [[nodiscard]] HttpResponse RegisterPost(Visit& visit);
    [[nodiscard]] HttpResponse LostPassword(Visit& visit);
    [[nodiscard]] HttpResponse UserAlbums(Visit& visit, const std::string& userName);
    [[nodiscard]] HttpResponse AlbumPhotos(Visit& visit, const std::string& userName,
                                           const std::string& albumText);
    [[nodiscard]] HttpResponse ErrorPage(Visit& visit, int status, const std::string& title,
                                         const std::string& text);
    [[nodiscard]] HttpResponse Finish(Visit& visit, int status, const std::string& title,
                                      const std::string& mainHtml);
    [[nodiscard]] HttpResponse StartSession(Visit& visit, const UserRecord& user,
                                            const std::string& location);
    // Accepts a form post: same origin and the cookie's token; nullopt when refused.
    [[nodiscard]] std::optional<std::map<std::string, std::string>> AcceptForm(Visit& visit);

    DataStore& data_;
    Authenticator& authenticator_;
};

}  // namespace albumd
