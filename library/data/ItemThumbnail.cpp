#include "library/data/ItemThumbnail.h"

#include <utility>

#include "app/AppContext.h"
#include "app/PathTokens.h"
#include "image/Thumbnail.h"

namespace tavopix {

namespace {

bool Fill(PictureItem& item, Thumbnail thumbnail) {
    item.thumbnail = std::move(thumbnail.source);
    item.width = thumbnail.width;
    item.height = thumbnail.height;
    return thumbnail.ok;
}

}  // namespace

bool MakeThumbnail(PictureItem& item) {
    const std::u16string realPath = ExpandPath(item.path);
    if (realPath.empty()) {
        item.thumbnail = appContext.errorImagePath;
        return false;
    }
    return Fill(item, MakeFileThumbnail(realPath));
}

bool RotatePicture(PictureItem& item, RotateDirection direction) {
    return Fill(item, RotatePictureAndThumbnail(ExpandPath(item.path), direction));
}

}  // namespace tavopix
