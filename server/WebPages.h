// The pages albumd serves to a browser: the public index of the albums a visitor may see, each
// user's albums, an album as a grid of thumbnails, each picture on a page of its own (previous,
// next, arrow keys, the original a click away), the owner's settings of an album and the friends
// list, the web login, registration and lost-password pages, and the picture files themselves.
// Every album page and picture file is shown only to a visitor DecideAccess lets in; anyone else
// gets a page that says why and what to do (log in, ask the owner, answer the question).
//
// The account pages and the routing are in WebPages.cpp, the album pages in AlbumPages.cpp.
// The pages' login is a web session of its own (WebSessions.h), never a ticket of the API. All
// cookies are HttpOnly and SameSite=Strict, and Secure when albumd is reached over https. Form
// posts are accepted only from albumd's own pages: the Origin (or Referer) must be albumd's own
// origin, and the form must carry the token from the cookie set with the form.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "AlbumAccess.h"
#include "Authenticator.h"
#include "DataStore.h"
#include "HttpMessage.h"
#include "QuestionPasses.h"

namespace albumd {

class WebPages {
public:
    WebPages(DataStore& data, Authenticator& authenticator)
        : data_(data), authenticator_(authenticator) {}

    // The page for `request`, which reached albumd by `origin` ("http://127.0.0.1:8080");
    // nullopt when the target is not one of the pages.
    [[nodiscard]] std::optional<HttpResponse> Handle(const HttpRequest& request,
                                                     const ParsedTarget& target, std::int64_t now,
                                                     const std::string& origin);
    // A stored picture, "/photos/<user>/<album>/<name>", for a viewer who may see its album: the
    // pages' session, an answered question, or the client's ticket.
    [[nodiscard]] HttpResponse PictureFile(const HttpRequest& request, const ParsedTarget& target,
                                           std::int64_t now);
    // The address of a picture's page: "<base>/u/<owner>/<album>/<picture>".
    [[nodiscard]] std::string PhotoPageAddress(const std::string& base, const PhotoRecord& photo);
    [[nodiscard]] HttpResponse NotFound() const;

private:
    struct Visit;  // the request with its viewer, origin and form token
    struct AlbumVisit;

    // Who is asking: the pages' session, the question albums this browser opened and, where
    // `ticketOpens` (the picture files), the client's ticket.
    enum class TicketOpens { No, Yes };
    [[nodiscard]] Viewer ViewerOf(const HttpRequest& request, std::int64_t now,
                                  std::string* visitToken, TicketOpens ticketOpens);
    [[nodiscard]] HttpResponse Index(Visit& visit);
    [[nodiscard]] HttpResponse LoginForm(Visit& visit, int status, const std::string& message,
                                         const std::string& userName);
    [[nodiscard]] HttpResponse LoginPost(Visit& visit);
    [[nodiscard]] HttpResponse LogoutPost(Visit& visit);
    [[nodiscard]] HttpResponse RegisterForm(Visit& visit, int status, const std::string& message,
                                            const std::string& userName);
    [[nodiscard]] HttpResponse RegisterPost(Visit& visit);
    [[nodiscard]] HttpResponse LostPassword(Visit& visit);
    // "/u/<user>/…": a user's albums, an album, a picture and the forms posted on them.
    [[nodiscard]] std::optional<HttpResponse> AlbumRoutes(Visit& visit);
    [[nodiscard]] HttpResponse UserAlbums(Visit& visit, const std::string& userName);
    [[nodiscard]] HttpResponse AlbumPage(Visit& visit, AlbumVisit& album);
    [[nodiscard]] HttpResponse PhotoPage(Visit& visit, AlbumVisit& album,
                                         const std::string& photoText);
    [[nodiscard]] HttpResponse Refusal(Visit& visit, const AlbumVisit& album, Access access,
                                       const std::string& message);
    [[nodiscard]] HttpResponse AnswerPost(Visit& visit, AlbumVisit& album);
    [[nodiscard]] HttpResponse EditAlbumPost(Visit& visit, AlbumVisit& album);
    [[nodiscard]] HttpResponse DeleteAlbumPost(Visit& visit, AlbumVisit& album);
    [[nodiscard]] HttpResponse DeletePhotoPost(Visit& visit, AlbumVisit& album,
                                               const std::string& photoText);
    [[nodiscard]] HttpResponse FriendsPage(Visit& visit, int status, const std::string& message);
    [[nodiscard]] HttpResponse FriendsPost(Visit& visit);
    // Finds the album of "/u/<user>/<album>…" and decides the visitor's access; nullopt with
    // `failure` set when there is no such album.
    [[nodiscard]] std::optional<AlbumVisit> FindAlbum(Visit& visit, const std::string& userName,
                                                      const std::string& albumText,
                                                      HttpResponse& failure);
    [[nodiscard]] HttpResponse ErrorPage(Visit& visit, int status, const std::string& title,
                                         const std::string& text);
    [[nodiscard]] HttpResponse Finish(Visit& visit, int status, const std::string& title,
                                      const std::string& mainHtml);
    [[nodiscard]] HttpResponse StartSession(Visit& visit, const UserRecord& user,
                                            const std::string& location);
    [[nodiscard]] std::string Cookie(const Visit& visit, const std::string& nameValue,
                                     const std::string& lifetime) const;
    // Accepts a form post: same origin and the cookie's token; nullopt when refused.
    [[nodiscard]] std::optional<std::map<std::string, std::string>> AcceptForm(Visit& visit);

    DataStore& data_;
    Authenticator& authenticator_;
    QuestionPasses passes_;
};

}  // namespace albumd
