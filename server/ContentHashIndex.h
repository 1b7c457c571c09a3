// Which pictures an album already holds, by the content hash of the original file the client
// computed (BLAKE2b-256, 64 lower-case hex digits). An upload that names a hash the album
// already holds stores nothing and is answered with the picture that is there. The index is a
// table of its own beside the photos; a photo that goes takes its entry with it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "AlbumStore.h"
#include "Database.h"

namespace albumd {

// A content hash as clients send it: 64 lower-case hexadecimal digits.
[[nodiscard]] bool IsContentHash(std::string_view text);

class ContentHashIndex {
public:
    explicit ContentHashIndex(Database& db) : db_(db) {}

    // The oldest picture of the album with this hash: Ok, NotFound or Fault.
    [[nodiscard]] StoreResult Find(std::int64_t albumId, std::string_view hash, PhotoRecord& photo);
    // Notes the hash of a stored picture.
    [[nodiscard]] bool Record(std::int64_t photoId, std::int64_t albumId, std::string_view hash);

private:
    Database& db_;
};

}  // namespace albumd
