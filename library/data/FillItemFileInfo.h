// Completing a picture record from its file: the name, the size and the last-write time, for
// the records of the marked and uploaded views, which start from a stored path alone.
#pragma once

#include "library/data/PictureItem.h"

namespace tavopix {

// The name becomes the text after the last separator of the expanded path (of the stored path
// when it cannot be expanded). Then the file is read: the size becomes the low 32 bits of the
// file size and the time the high 32 bits of the last-write file time. False, with size and
// time untouched, when the path cannot be expanded or the file's attributes cannot be read.
bool FillItemFileInfo(PictureItem& item);

}  // namespace tavopix
