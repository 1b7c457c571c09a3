// The orientation a JPEG's Exif data gives its pixels (tag 0x0112, values 1 to 8): cameras and
// phones store the sensor's rows as they came and say in this tag how the picture is to be
// turned or mirrored to stand upright. Browsers honour the tag, so the program does too:
// thumbnails, sizes, conversions and rotations work on the picture as it is seen.
//
// Each orientation is one of the eight turns and mirrorings of a rectangle; Transform names
// them in the order the codec library's lossless transforms do.
#pragma once

#include <cstdint>
#include <optional>

#include "image/Bitmap.h"
#include "image/PictureCodecs.h"

namespace tavopix {

// The eight ways to lay a rectangle down again, numbered as the codec library's transforms.
enum class Transform {
    None = 0,
    MirrorHorizontally = 1,
    MirrorVertically = 2,
    Transpose = 3,   // mirrored across the top-left to bottom-right diagonal
    Transverse = 4,  // mirrored across the other diagonal
    Clockwise = 5,
    HalfTurn = 6,
    CounterClockwise = 7,
};

inline constexpr int kUprightOrientation = 1;

// The Exif orientation in the payload of an APP1 segment ("Exif\0\0" and a TIFF structure);
// 1 when there is none or it is not valid.
[[nodiscard]] int ExifOrientationOf(ByteSpan app1Payload);

// What brings the stored pixels of `orientation` upright.
[[nodiscard]] Transform UprightTransform(int orientation);

// Whether the transform swaps width and height.
[[nodiscard]] constexpr bool SwapsSides(Transform transform) {
    return transform == Transform::Transpose || transform == Transform::Transverse ||
           transform == Transform::Clockwise || transform == Transform::CounterClockwise;
}

// `second` done after `first`.
[[nodiscard]] Transform Compose(Transform first, Transform second);

// The bitmap laid down by `transform`.
[[nodiscard]] Bitmap TransformBitmap(const Bitmap& bitmap, Transform transform);

// Writes `orientation` into the JPEG's Exif orientation tag, in place; false when it has none.
bool SetJpegOrientation(Bytes& jpeg, int orientation);

}  // namespace tavopix
