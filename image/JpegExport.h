// Pictures made ready for upload and for the viewer: converted to JPEG, or fitted into a
// square of a given side as a JPEG. Paths are real (expanded) UTF-16 paths; the target is
// written beside its final name and renamed into place.
#pragma once

#include <string>

namespace tavopix {

// The longest side of a picture uploaded at reduced size.
inline constexpr int kUploadSide = 1600;

// Writes the picture as a JPEG of the same size (transparency on white), standing as it is seen
// (a JPEG turned by its Exif orientation is written upright). A picture that is a sound upright
// JPEG already is copied as it is, without a generation of loss. False when the source
// cannot be decoded or the target cannot be written.
[[nodiscard]] bool ConvertToJpeg(const std::u16string& source, const std::u16string& target);

enum class FitResult { Failed = 0, Written = 1, SourceUnchanged = 2 };

// The size a width x height picture gets to fit `side`: the long side becomes `side` when it is
// longer, the other scaled in proportion, truncated, at least 1.
void ScaleToFit(int& width, int& height, int side);

// Fits the picture, as it is seen, into a side x side square as a JPEG written to `target`.
// SourceUnchanged when it fits already and is an upright JPEG named ".jpg", which may then be
// sent as it is.
[[nodiscard]] FitResult FitJpeg(const std::u16string& source, const std::u16string& target,
                                int side);

}  // namespace tavopix
