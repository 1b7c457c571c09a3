#include "service/AlbumListReply.h"

#include <nlohmann/json.hpp>

#include "platform/Utf8.h"

namespace tavopix {
namespace {

using OrderedJson = nlohmann::ordered_json;

// Nesting deeper than this is no album list; the walk stops there instead of recursing on.
constexpr int kMaxDepth = 64;

void CollectAlbums(const OrderedJson& value, int depth, std::vector<AlbumEntry>& albums) {
    if (depth > kMaxDepth) {
        return;
    }
    if (value.is_object()) {
        const auto id = value.find("album_id");
        const auto name = value.find("album_name");
        if (id != value.end() && name != value.end() && name->is_string() &&
            (id->is_string() || id->is_number_integer() || id->is_number_unsigned())) {
            albums.push_back({Utf8ToUtf16(id->is_string() ? id->get<std::string>() : id->dump()),
                              Utf8ToUtf16(name->get<std::string>())});
            return;
        }
    }
    if (value.is_structured()) {
        for (const OrderedJson& child : value) {
            CollectAlbums(child, depth + 1, albums);
        }
    }
}

// The text between the next two double quotes at or after `at`; false when there are not two.
bool NextQuoted(std::u16string_view text, std::size_t& at, std::u16string& value) {
    const std::size_t open = text.find(u'"', at);
    if (open == std::u16string_view::npos) {
        return false;
    }
    const std::size_t close = text.find(u'"', open + 1);
    if (close == std::u16string_view::npos) {
        return false;
    }
    value.assign(text.substr(open + 1, close - open - 1));
    at = close + 1;
    return true;
}

std::vector<AlbumEntry> ScanAlbumList(std::u16string_view text) {
    static constexpr std::u16string_view kIdKey = u"\"album_id\"";
    static constexpr std::u16string_view kNameKey = u"\"album_name\"";
    std::vector<AlbumEntry> albums;
    std::size_t at = 0;
    while (true) {
        const std::size_t idKey = text.find(kIdKey, at);
        if (idKey == std::u16string_view::npos) {
            break;
        }
        AlbumEntry album;
        at = idKey + kIdKey.size();
        if (!NextQuoted(text, at, album.id)) {
            break;
        }
        const std::size_t nameKey = text.find(kNameKey, at);
        if (nameKey == std::u16string_view::npos) {
            break;
        }
        at = nameKey + kNameKey.size();
        if (!NextQuoted(text, at, album.name)) {
            break;
        }
        albums.push_back(std::move(album));
    }
    return albums;
}

}  // namespace

std::vector<AlbumEntry> ReadAlbumList(std::u16string_view reply, std::u16string_view decoded) {
    const OrderedJson json = OrderedJson::parse(Utf16ToUtf8(reply), nullptr, false);
    if (json.is_discarded()) {
        return ScanAlbumList(decoded);
    }
    std::vector<AlbumEntry> albums;
    CollectAlbums(json, 0, albums);
    return albums;
}

}  // namespace tavopix
