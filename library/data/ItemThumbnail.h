// A picture record's thumbnail: the image layer makes the thumbnail of the file, or turns the
// file and remakes it, and these fill the record's thumbnail source and shown size from the
// result. The thumbnail worker and the upload dialog make thumbnails; the grid's rotate buttons
// and menu entries turn pictures.
#pragma once

#include "image/PictureRotate.h"
#include "library/data/PictureItem.h"

namespace tavopix {

// The thumbnail of the item's picture. False, with the error picture, when the picture cannot
// be used; a stored path that cannot be expanded gets the error picture and keeps its size.
bool MakeThumbnail(PictureItem& item);

// Turns the item's picture a quarter turn and remakes its thumbnail. False, with the error
// picture at 160 x 115, when it cannot be turned.
bool RotatePicture(PictureItem& item, RotateDirection direction);

}  // namespace tavopix
