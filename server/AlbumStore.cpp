#include "AlbumStore.h"

namespace albumd {

namespace {

constexpr const char* kSpaceKey = "space_per_user";
constexpr const char* kPicturesKey = "pictures_per_album";
constexpr const char* kAlbumsKey = "albums_per_user";
constexpr const char* kFeedbackKey = "feedback_per_day";

AlbumRecord AlbumFromRow(const Statement& row) {
    AlbumRecord album;
    album.id = row.Int(0);
    album.userId = row.Int(1);
    album.name = row.Text(2);
    album.description = row.Text(3);
    album.privacy = static_cast<int>(row.Int(4));
    album.question = row.Text(5);
    album.created = row.Int(6);
    album.photoCount = row.Int(7);
    return album;
}

constexpr const char* kAlbumColumns =
    "SELECT a.id, a.user_id, a.name, a.description, a.privacy, COALESCE(a.question, ''), "
    "a.created, (SELECT COUNT(*) FROM photos p WHERE p.album_id = a.id) FROM albums a ";

PhotoRecord PhotoFromRow(const Statement& row) {
    PhotoRecord photo;
    photo.id = row.Int(0);
    photo.albumId = row.Int(1);
    photo.userId = row.Int(2);
    photo.title = row.Text(3);
    photo.file = row.Text(4);
    photo.mime = row.Text(5);
    photo.size = row.Int(6);
    photo.created = row.Int(7);
    return photo;
}

constexpr const char* kPhotoColumns =
    "SELECT id, album_id, user_id, title, file, mime, size, created FROM photos ";

// Reads one integer; `found` tells whether there was a row.
StoreResult ReadInt(Statement& statement, std::int64_t& value, bool& found) {
    found = false;
    const StoreResult read = statement.FindOne([&] {
        found = !statement.IsNull(0);
        if (found)
            value = statement.Int(0);
    });
    return read == StoreResult::Fault ? StoreResult::Fault : StoreResult::Ok;
}

}  // namespace

StoreResult AlbumStore::CreateAlbum(std::int64_t userId, const NewAlbum& album, std::int64_t now,
                                    std::int64_t& albumId) {
    auto lock = db_.Lock();
    Limits limits;
    if (DefaultLimitsLocked(limits) != StoreResult::Ok)
        return StoreResult::Fault;
    Statement count(db_, "SELECT COUNT(*) FROM albums WHERE user_id = ?1");
    count.Bind(1, userId);
    std::int64_t albums = 0;
    bool found = false;
    if (ReadInt(count, albums, found) != StoreResult::Ok)
        return StoreResult::Fault;
    if (albums >= limits.albumsPerUser)
        return StoreResult::Invalid;
    Statement insert(db_,
                     "INSERT INTO albums(user_id, name, description, privacy, question, "
                     "answer_hash, created) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    insert.Bind(1, userId).Bind(2, album.name).Bind(3, album.description).Bind(4, album.privacy);
    if (album.privacy == kPrivacyQuestion) {
        insert.Bind(5, album.question).Bind(6, album.answerHash);
    } else {
        insert.BindNull(5).BindNull(6);
    }
    insert.Bind(7, now);
    if (!insert.Run())
        return StoreResult::Fault;
    albumId = db_.LastInsertId();
    return StoreResult::Ok;
}

StoreResult AlbumStore::ListAlbums(std::int64_t userId, std::vector<AlbumRecord>& albums) {
    auto lock = db_.Lock();
    std::string sql = std::string(kAlbumColumns) + "WHERE a.user_id = ?1 ORDER BY a.id";
    Statement select(db_, sql.c_str());
    select.Bind(1, userId);
    albums.clear();
    const bool read = select.ForEachRow([&] { albums.push_back(AlbumFromRow(select)); });
    return read ? StoreResult::Ok : StoreResult::Fault;
}

StoreResult AlbumStore::FindAlbum(std::int64_t albumId, AlbumRecord& album) {
    auto lock = db_.Lock();
    std::string sql = std::string(kAlbumColumns) + "WHERE a.id = ?1";
    Statement select(db_, sql.c_str());
    select.Bind(1, albumId);
    return select.FindOne([&] { album = AlbumFromRow(select); });
}

StoreResult AlbumStore::ListPhotos(std::int64_t albumId, std::vector<PhotoRecord>& photos) {
    auto lock = db_.Lock();
    std::string sql = std::string(kPhotoColumns) + "WHERE album_id = ?1 ORDER BY id";
    Statement select(db_, sql.c_str());
    select.Bind(1, albumId);
    photos.clear();
    const bool read = select.ForEachRow([&] { photos.push_back(PhotoFromRow(select)); });
    return read ? StoreResult::Ok : StoreResult::Fault;
}

StoreResult AlbumStore::FindPhoto(const std::string& file, PhotoRecord& photo) {
    auto lock = db_.Lock();
    std::string sql = std::string(kPhotoColumns) + "WHERE file = ?1";
    Statement select(db_, sql.c_str());
    select.Bind(1, file);
    return select.FindOne([&] { photo = PhotoFromRow(select); });
}

StoreResult AlbumStore::FindPhotoById(std::int64_t photoId, PhotoRecord& photo) {
    auto lock = db_.Lock();
    std::string sql = std::string(kPhotoColumns) + "WHERE id = ?1";
    Statement select(db_, sql.c_str());
    select.Bind(1, photoId);
    return select.FindOne([&] { photo = PhotoFromRow(select); });
}

StoreResult AlbumStore::ListAllAlbums(std::size_t limit, std::vector<AlbumRecord>& albums) {
    auto lock = db_.Lock();
    std::string sql =
        std::string(kAlbumColumns) + ", users u WHERE u.id = a.user_id ORDER BY a.id DESC LIMIT ?1";
    sql.replace(sql.find(" FROM albums a"), 0, ", u.name");
    Statement select(db_, sql.c_str());
    select.Bind(1, static_cast<std::int64_t>(limit));
    albums.clear();
    const bool read = select.ForEachRow([&] {
        albums.push_back(AlbumFromRow(select));
        albums.back().ownerName = select.Text(8);
    });
    return read ? StoreResult::Ok : StoreResult::Fault;
}

StoreResult AlbumStore::UpdateAlbum(std::int64_t albumId, const NewAlbum& album) {
    auto lock = db_.Lock();
    Statement update(
        db_,
        "UPDATE albums SET name = ?1, description = ?2, privacy = ?3, "
        "question = CASE WHEN ?3 = 3 THEN ?4 ELSE NULL END, "
        "answer_hash = CASE WHEN ?3 = 3 THEN COALESCE(?5, answer_hash) ELSE NULL "
        "END WHERE id = ?6 AND (?3 <> 3 OR ?5 IS NOT NULL OR answer_hash IS NOT NULL)");
    update.Bind(1, album.name).Bind(2, album.description).Bind(3, album.privacy);
    update.Bind(4, album.question);
    if (album.answerHash.empty()) {
        update.BindNull(5);
    } else {
        update.Bind(5, album.answerHash);
    }
    update.Bind(6, albumId);
    if (!update.Run())
        return StoreResult::Fault;
    return db_.Changes() == 1 ? StoreResult::Ok : StoreResult::Invalid;
}

StoreResult AlbumStore::DeleteAlbum(std::int64_t albumId) {
    auto lock = db_.Lock();
    Statement remove(db_, "DELETE FROM albums WHERE id = ?1");
    remove.Bind(1, albumId);
    if (!remove.Run())
        return StoreResult::Fault;
    return db_.Changes() == 1 ? StoreResult::Ok : StoreResult::NotFound;
}

StoreResult AlbumStore::DeletePhoto(std::int64_t photoId) {
    auto lock = db_.Lock();
    Statement remove(db_, "DELETE FROM photos WHERE id = ?1");
    remove.Bind(1, photoId);
    if (!remove.Run())
        return StoreResult::Fault;
    return db_.Changes() == 1 ? StoreResult::Ok : StoreResult::NotFound;
}

StoreResult AlbumStore::AnswerHash(std::int64_t albumId, std::string& hash) {
    auto lock = db_.Lock();
    Statement select(db_,
                     "SELECT answer_hash FROM albums WHERE id = ?1 AND answer_hash IS NOT NULL");
    select.Bind(1, albumId);
    return select.FindOne([&] { hash = select.Text(0); });
}

bool AlbumStore::IsKnownFile(const std::string& file) {
    PhotoRecord photo;
    // On a database fault the file is kept: better an orphan than a lost picture.
    return FindPhoto(file, photo) != StoreResult::NotFound;
}

StoreResult AlbumStore::DefaultLimitsLocked(Limits& limits) {
    limits = {kDefaultSpacePerUser, kDefaultPicturesPerAlbum, kDefaultAlbumsPerUser,
              kDefaultFeedbackPerDay};
    const std::pair<const char*, std::int64_t*> keys[] = {{kSpaceKey, &limits.spacePerUser},
                                                          {kPicturesKey, &limits.picturesPerAlbum},
                                                          {kAlbumsKey, &limits.albumsPerUser},
                                                          {kFeedbackKey, &limits.feedbackPerDay}};
    Statement select(db_, "SELECT key, value FROM settings");
    const bool read = select.ForEachRow([&] {
        for (const auto& [key, value] : keys) {
            if (select.Text(0) == key)
                *value = select.Int(1);
        }
    });
    return read ? StoreResult::Ok : StoreResult::Fault;
}

StoreResult AlbumStore::DefaultLimits(Limits& limits) {
    auto lock = db_.Lock();
    return DefaultLimitsLocked(limits);
}

StoreResult AlbumStore::SetDefaultLimits(LimitChange space, LimitChange pictures,
                                         LimitChange albums, LimitChange feedbackPerDay) {
    auto lock = db_.Lock();
    const std::pair<const char*, LimitChange> changes[] = {{kSpaceKey, space},
                                                           {kPicturesKey, pictures},
                                                           {kAlbumsKey, albums},
                                                           {kFeedbackKey, feedbackPerDay}};
    for (const auto& [key, change] : changes) {
        if (!change)
            continue;
        if (*change < 0)
            return StoreResult::Invalid;
        Statement upsert(db_,
                         "INSERT INTO settings(key, value) VALUES(?1, ?2) "
                         "ON CONFLICT(key) DO UPDATE SET value = excluded.value");
        upsert.Bind(1, std::string_view(key)).Bind(2, *change);
        if (!upsert.Run())
            return StoreResult::Fault;
    }
    return StoreResult::Ok;
}

StoreResult AlbumStore::EffectiveLimitsLocked(std::int64_t userId, Limits& limits) {
    if (DefaultLimitsLocked(limits) != StoreResult::Ok)
        return StoreResult::Fault;
    Statement select(db_, "SELECT space_limit, album_picture_limit FROM users WHERE id = ?1");
    select.Bind(1, userId);
    return select.FindOne([&] {
        if (!select.IsNull(0))
            limits.spacePerUser = select.Int(0);
        if (!select.IsNull(1))
            limits.picturesPerAlbum = select.Int(1);
    });
}

StoreResult AlbumStore::EffectiveLimits(std::int64_t userId, Limits& limits) {
    auto lock = db_.Lock();
    return EffectiveLimitsLocked(userId, limits);
}

StoreResult AlbumStore::SetUserLimits(std::int64_t userId, LimitChange space,
                                      LimitChange pictures) {
    auto lock = db_.Lock();
    const std::pair<const char*, LimitChange> changes[] = {
        {"UPDATE users SET space_limit = ?1 WHERE id = ?2", space},
        {"UPDATE users SET album_picture_limit = ?1 WHERE id = ?2", pictures}};
    for (const auto& [sql, change] : changes) {
        if (!change)
            continue;
        if (*change < kUseDefault)
            return StoreResult::Invalid;
        Statement update(db_, sql);
        if (*change == kUseDefault) {
            update.BindNull(1);
        } else {
            update.Bind(1, *change);
        }
        update.Bind(2, userId);
        if (!update.Run())
            return StoreResult::Fault;
        if (db_.Changes() == 0)
            return StoreResult::NotFound;
    }
    return StoreResult::Ok;
}

StoreResult AlbumStore::UsedSpace(std::int64_t userId, std::int64_t& bytes) {
    auto lock = db_.Lock();
    Statement sum(db_, "SELECT COALESCE(SUM(size), 0) FROM photos WHERE user_id = ?1");
    sum.Bind(1, userId);
    bool found = false;
    bytes = 0;
    return ReadInt(sum, bytes, found);
}

PlaceResult AlbumStore::CheckLocked(std::int64_t userId, std::int64_t albumId, std::int64_t size) {
    Statement owner(db_, "SELECT user_id FROM albums WHERE id = ?1");
    owner.Bind(1, albumId);
    std::int64_t ownerId = 0;
    bool found = false;
    if (ReadInt(owner, ownerId, found) != StoreResult::Ok)
        return PlaceResult::Fault;
    if (!found)
        return PlaceResult::NotFound;
    if (ownerId != userId)
        return PlaceResult::Forbidden;

    Limits limits;
    if (EffectiveLimitsLocked(userId, limits) != StoreResult::Ok)
        return PlaceResult::Fault;
    Statement count(db_, "SELECT COUNT(*) FROM photos WHERE album_id = ?1");
    count.Bind(1, albumId);
    std::int64_t pictures = 0;
    if (ReadInt(count, pictures, found) != StoreResult::Ok)
        return PlaceResult::Fault;
    if (pictures >= limits.picturesPerAlbum)
        return PlaceResult::AlbumFull;
    Statement used(db_, "SELECT COALESCE(SUM(size), 0) FROM photos WHERE user_id = ?1");
    used.Bind(1, userId);
    std::int64_t bytes = 0;
    if (ReadInt(used, bytes, found) != StoreResult::Ok)
        return PlaceResult::Fault;
    if (size > limits.spacePerUser - bytes)
        return PlaceResult::SpaceFull;
    return PlaceResult::Ok;
}

PlaceResult AlbumStore::CheckUpload(std::int64_t userId, std::int64_t albumId, std::int64_t size) {
    auto lock = db_.Lock();
    return CheckLocked(userId, albumId, size);
}

PlaceResult AlbumStore::AddPhoto(PhotoRecord& photo,
                                 const std::function<bool(const std::string&)>& moveFile,
                                 bool& fileMoved) {
    fileMoved = false;
    auto lock = db_.Lock();
    if (!db_.Begin())
        return PlaceResult::Fault;
    PlaceResult check = CheckLocked(photo.userId, photo.albumId, photo.size);
    if (check != PlaceResult::Ok) {
        db_.Rollback();
        return check;
    }
    if (!moveFile(photo.file)) {
        db_.Rollback();
        return PlaceResult::Fault;
    }
    fileMoved = true;
    Statement insert(db_,
                     "INSERT INTO photos(album_id, user_id, title, file, mime, size, created) "
                     "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    insert.Bind(1, photo.albumId)
        .Bind(2, photo.userId)
        .Bind(3, photo.title)
        .Bind(4, photo.file)
        .Bind(5, photo.mime)
        .Bind(6, photo.size)
        .Bind(7, photo.created);
    if (!insert.Run()) {
        db_.Rollback();
        return PlaceResult::Fault;
    }
    photo.id = db_.LastInsertId();
    return db_.Commit() ? PlaceResult::Ok : PlaceResult::Fault;
}

}  // namespace albumd
