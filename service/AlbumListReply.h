// The albums of an album-list reply: pairs of album id and name, in the reply's order.
//
// A reply that is JSON is read as JSON: every object holding a string (or number) "album_id"
// and a string "album_name" is one album, found in document order wherever it is nested, and
// its texts are taken whole with their escapes decoded, so a name holding quotes, backslashes
// or braces comes back exactly as it was created. A reply that is not JSON is scanned for each
// quoted "album_id" and the quoted "album_name" after it, taking the text between the next two
// double quotes after each key.
#pragma once

#include <string>
#include <vector>

namespace tavopix {

struct AlbumEntry {
    std::u16string id;
    std::u16string name;
    friend bool operator==(const AlbumEntry&, const AlbumEntry&) = default;
};

// `reply` is the text the service sent; `decoded` the same with its JSON escapes decoded, which
// the scan of a text that is not JSON reads.
std::vector<AlbumEntry> ReadAlbumList(std::u16string_view reply, std::u16string_view decoded);

}  // namespace tavopix
