// The pictures of one folder for an upload of the whole folder: the stored paths of the files
// directly in it (not in its sub-folders) that pass the picture filter.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "library/data/PictureFilter.h"

namespace tavopix {

// Appends the stored path (the stored folder path and the file name) of every passing picture
// to `paths`. False when the folder cannot be expanded or listed.
bool CollectFolderPictures(std::u16string_view folder, const PictureFilter& filter,
                           std::vector<std::u16string>& paths);

}  // namespace tavopix
