// Albums, the pictures in them and the two limits that bound them: the space a user may fill and
// the number of pictures an album may hold. Each limit has a server-wide default and an optional
// per-user value. A picture becomes part of an album in one transaction that checks ownership and
// both limits, moves the file into place and inserts its row, so concurrent uploads can neither
// overrun a limit nor list a picture whose file is missing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Accounts.h"
#include "Database.h"

namespace albumd {

// Who may see an album: the protocol's "privacy_lev" values, stored as they are.
inline constexpr int kPrivacyEveryone = 1;
inline constexpr int kPrivacyFriends = 2;
inline constexpr int kPrivacyQuestion = 3;  // those who answer the album's question
inline constexpr int kPrivacyPrivate = 4;

struct AlbumRecord {
    std::int64_t id = 0;
    std::int64_t userId = 0;
    std::string name;
    std::string description;
    int privacy = kPrivacyEveryone;
    std::string question;
    std::int64_t created = 0;
    std::int64_t photoCount = 0;
    std::string ownerName;  // filled by ListAllAlbums only
};

struct NewAlbum {
    std::string name;
    std::string description;
    int privacy = kPrivacyEveryone;
    std::string question;    // kPrivacyQuestion only
    std::string answerHash;  // kPrivacyQuestion only, hashed like a password
};

struct PhotoRecord {
    std::int64_t id = 0;
    std::int64_t albumId = 0;
    std::int64_t userId = 0;
    std::string title;
    std::string file;  // "<user>/<album>/<stored name>"
    std::string mime;
    std::int64_t size = 0;
    std::int64_t created = 0;
};

struct Limits {
    std::int64_t spacePerUser = 0;  // bytes
    std::int64_t picturesPerAlbum = 0;
    std::int64_t albumsPerUser = 0;   // server-wide only
    std::int64_t feedbackPerDay = 0;  // per user, server-wide only
};

// A change of one limit: nullopt keeps it, a value sets it; for a user's limits
// `kUseDefault` returns that user to the server-wide value.
using LimitChange = std::optional<std::int64_t>;
inline constexpr std::int64_t kUseDefault = -1;

enum class PlaceResult { Ok, NotFound, Forbidden, SpaceFull, AlbumFull, Fault };

class AlbumStore {
public:
    static constexpr std::int64_t kDefaultSpacePerUser = 1LL << 30;
    static constexpr std::int64_t kDefaultPicturesPerAlbum = 1000;
    static constexpr std::int64_t kDefaultAlbumsPerUser = 100;
    static constexpr std::int64_t kDefaultFeedbackPerDay = 20;

    explicit AlbumStore(Database& db) : db_(db) {}

    // Invalid when the user already has as many albums as the limit allows.
    [[nodiscard]] StoreResult CreateAlbum(std::int64_t userId, const NewAlbum& album,
                                          std::int64_t now, std::int64_t& albumId);
    // Renames, describes and sets the privacy of an album. An empty `answerHash` keeps the
    // stored answer, which a question album must then already have (else Invalid).
    [[nodiscard]] StoreResult UpdateAlbum(std::int64_t albumId, const NewAlbum& album);
    // Removes the album's rows; its files are the caller's.
    [[nodiscard]] StoreResult DeleteAlbum(std::int64_t albumId);
    [[nodiscard]] StoreResult DeletePhoto(std::int64_t photoId);
    // The stored answer hash of a question album; NotFound when it has none.
    [[nodiscard]] StoreResult AnswerHash(std::int64_t albumId, std::string& hash);
    // Every album with its owner's name, newest first, at most `limit`.
    [[nodiscard]] StoreResult ListAllAlbums(std::size_t limit, std::vector<AlbumRecord>& albums);
    // The user's albums in creation order, with their picture counts.
    [[nodiscard]] StoreResult ListAlbums(std::int64_t userId, std::vector<AlbumRecord>& albums);
    [[nodiscard]] StoreResult FindAlbum(std::int64_t albumId, AlbumRecord& album);
    [[nodiscard]] StoreResult ListPhotos(std::int64_t albumId, std::vector<PhotoRecord>& photos);
    [[nodiscard]] StoreResult FindPhoto(const std::string& file, PhotoRecord& photo);
    [[nodiscard]] StoreResult FindPhotoById(std::int64_t photoId, PhotoRecord& photo);
    [[nodiscard]] bool IsKnownFile(const std::string& file);

    [[nodiscard]] StoreResult DefaultLimits(Limits& limits);
    [[nodiscard]] StoreResult SetDefaultLimits(LimitChange space, LimitChange pictures,
                                               LimitChange albums = std::nullopt,
                                               LimitChange feedbackPerDay = std::nullopt);
    [[nodiscard]] StoreResult EffectiveLimits(std::int64_t userId, Limits& limits);
    [[nodiscard]] StoreResult SetUserLimits(std::int64_t userId, LimitChange space,
                                            LimitChange pictures);
    [[nodiscard]] StoreResult UsedSpace(std::int64_t userId, std::int64_t& bytes);

    // Whether a picture of `size` bytes could go into the album now (checked again on commit).
    [[nodiscard]] PlaceResult CheckUpload(std::int64_t userId, std::int64_t albumId,
                                          std::int64_t size);
    // Checks, calls `moveFile(photo.file)` to put the file in place, inserts the row and
    // commits. On a result other than Ok nothing is listed; when the move succeeded but the
    // commit did not, the caller must remove the moved file.
    [[nodiscard]] PlaceResult AddPhoto(PhotoRecord& photo,
                                       const std::function<bool(const std::string&)>& moveFile,
                                       bool& fileMoved);

private:
    [[nodiscard]] PlaceResult CheckLocked(std::int64_t userId, std::int64_t albumId,
                                          std::int64_t size);
    [[nodiscard]] StoreResult DefaultLimitsLocked(Limits& limits);
    [[nodiscard]] StoreResult EffectiveLimitsLocked(std::int64_t userId, Limits& limits);

    Database& db_;
};

}  // namespace albumd
