#include "ContentHashIndex.h"

namespace albumd {

bool IsContentHash(std::string_view text) {
    if (text.size() != 64)
        return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

StoreResult ContentHashIndex::Find(std::int64_t albumId, std::string_view hash,
                                   PhotoRecord& photo) {
    auto lock = db_.Lock();
    Statement select(db_,
                     "SELECT p.id, p.album_id, p.user_id, p.title, p.file, p.mime, p.size, "
                     "p.created FROM photo_hashes h JOIN photos p ON p.id = h.photo_id "
                     "WHERE h.album_id = ?1 AND h.content_hash = ?2 ORDER BY p.id LIMIT 1");
    select.Bind(1, albumId).Bind(2, hash);
    return select.FindOne([&] {
        photo.id = select.Int(0);
        photo.albumId = select.Int(1);
        photo.userId = select.Int(2);
        photo.title = select.Text(3);
        photo.file = select.Text(4);
        photo.mime = select.Text(5);
        photo.size = select.Int(6);
        photo.created = select.Int(7);
    });
}

bool ContentHashIndex::Record(std::int64_t photoId, std::int64_t albumId, std::string_view hash) {
    auto lock = db_.Lock();
    Statement insert(db_,
                     "INSERT OR REPLACE INTO photo_hashes(photo_id, album_id, content_hash) "
                     "VALUES(?1, ?2, ?3)");
    insert.Bind(1, photoId).Bind(2, albumId).Bind(3, hash);
    return insert.Run();
}

}  // namespace albumd
