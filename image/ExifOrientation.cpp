#include "image/ExifOrientation.h"

#include <array>
#include <cstring>

namespace tavopix {

namespace {

constexpr std::uint32_t kOrientationTag = 0x0112;
constexpr std::uint32_t kShortType = 3;

// Where the orientation value sits in an Exif payload, and its byte order.
struct OrientationField {
    std::size_t offset = 0;  // of the 16-bit value, from the payload's start
    bool littleEndian = true;
};

std::optional<OrientationField> FindOrientation(ByteSpan payload) {
    if (payload.size() < 14 || std::memcmp(payload.data(), "Exif\0\0", 6) != 0) {
        return std::nullopt;
    }
    const ByteSpan tiff = payload.subspan(6);
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) {
        return std::nullopt;
    }
    const auto read16 = [&](std::size_t at) -> std::uint32_t {
        return little ? tiff[at] | (tiff[at + 1] << 8) : (tiff[at] << 8) | tiff[at + 1];
    };
    const auto read32 = [&](std::size_t at) -> std::uint32_t {
        return little ? read16(at) | (read16(at + 2) << 16) : (read16(at) << 16) | read16(at + 2);
    };
    if (read16(2) != 42) {
        return std::nullopt;
    }
    const std::size_t directory = read32(4);
    if (directory + 2 > tiff.size()) {
        return std::nullopt;
    }
    const std::size_t entries = read16(directory);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + i * 12;
        if (entry + 12 > tiff.size()) {
            return std::nullopt;
        }
        if (read16(entry) == kOrientationTag && read16(entry + 2) == kShortType &&
            read32(entry + 4) == 1) {
            return OrientationField{6 + entry + 8, little};
        }
    }
    return std::nullopt;
}

// The payload of the first Exif APP1 segment before the first scan: offset and size.
std::optional<std::pair<std::size_t, std::size_t>> ExifSegment(ByteSpan jpeg) {
    std::size_t offset = 2;
    while (offset + 4 <= jpeg.size() && jpeg[offset] == 0xFF) {
        const std::uint8_t marker = jpeg[offset + 1];
        if (marker == 0xFF) {
            ++offset;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) {
            break;
        }
        const std::size_t length = (jpeg[offset + 2] << 8) | jpeg[offset + 3];
        if (length < 2 || offset + 2 + length > jpeg.size()) {
            break;
        }
        if (marker == 0xE1 && length >= 8 &&
            std::memcmp(jpeg.data() + offset + 4, "Exif\0\0", 6) == 0) {
            return std::pair{offset + 4, length - 2};
        }
        offset += 2 + length;
    }
    return std::nullopt;
}

// Each transform as the matrix that maps a pixel's (x, y), y downwards: {a, b, c, d} gives
// x' = a x + b y and y' = c x + d y (mirrored coordinates counted from the far edge).
using Matrix = std::array<int, 4>;
constexpr std::array<Matrix, 8> kMatrices = {{
    {1, 0, 0, 1},    // None
    {-1, 0, 0, 1},   // MirrorHorizontally
    {1, 0, 0, -1},   // MirrorVertically
    {0, 1, 1, 0},    // Transpose
    {0, -1, -1, 0},  // Transverse
    {0, -1, 1, 0},   // Clockwise
    {-1, 0, 0, -1},  // HalfTurn
    {0, 1, -1, 0},   // CounterClockwise
}};

}  // namespace

int ExifOrientationOf(ByteSpan app1Payload) {
    const std::optional<OrientationField> field = FindOrientation(app1Payload);
    if (!field) {
        return kUprightOrientation;
    }
    const std::uint8_t* value = app1Payload.data() + field->offset;
    const int orientation =
        field->littleEndian ? value[0] | (value[1] << 8) : (value[0] << 8) | value[1];
    return orientation >= 1 && orientation <= 8 ? orientation : kUprightOrientation;
}

Transform UprightTransform(int orientation) {
    switch (orientation) {
        case 2:
            return Transform::MirrorHorizontally;
        case 3:
            return Transform::HalfTurn;
        case 4:
            return Transform::MirrorVertically;
        case 5:
            return Transform::Transpose;
        case 6:
            return Transform::Clockwise;
        case 7:
            return Transform::Transverse;
        case 8:
            return Transform::CounterClockwise;
        default:
            return Transform::None;
    }
}

Transform Compose(Transform first, Transform second) {
    const Matrix& a = kMatrices[static_cast<std::size_t>(second)];
    const Matrix& b = kMatrices[static_cast<std::size_t>(first)];
    const Matrix product = {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3],
                            a[2] * b[0] + a[3] * b[2], a[2] * b[1] + a[3] * b[3]};
    for (std::size_t i = 0; i < kMatrices.size(); ++i) {
        if (kMatrices[i] == product) {
            return static_cast<Transform>(i);
        }
    }
    return Transform::None;
}

Bitmap TransformBitmap(const Bitmap& bitmap, Transform transform) {
    if (transform == Transform::None) {
        return bitmap;
    }
    if (transform == Transform::Clockwise || transform == Transform::CounterClockwise) {
        return RotateBitmap(bitmap, transform == Transform::Clockwise
                                        ? QuarterTurn::Clockwise
                                        : QuarterTurn::CounterClockwise);
    }
    const Matrix& m = kMatrices[static_cast<std::size_t>(transform)];
    const bool swaps = m[0] == 0;
    Bitmap out = MakeBitmap(swaps ? bitmap.height : bitmap.width,
                            swaps ? bitmap.width : bitmap.height, bitmap.channels);
    const auto coordinate = [&](int p, int q, int x, int y) {
        // p multiplies x (extent: the source width), q multiplies y (the source height).
        if (p != 0) {
            return p > 0 ? x : bitmap.width - 1 - x;
        }
        return q > 0 ? y : bitmap.height - 1 - y;
    };
    const std::size_t channels = static_cast<std::size_t>(bitmap.channels);
    for (int y = 0; y < bitmap.height; ++y) {
        for (int x = 0; x < bitmap.width; ++x) {
            const int tx = coordinate(m[0], m[1], x, y);
            const int ty = coordinate(m[2], m[3], x, y);
            std::memcpy(out.pixels.data() + out.Stride() * static_cast<std::size_t>(ty) +
                            static_cast<std::size_t>(tx) * channels,
                        bitmap.pixels.data() + bitmap.Stride() * static_cast<std::size_t>(y) +
                            static_cast<std::size_t>(x) * channels,
                        channels);
        }
    }
    return out;
}

bool SetJpegOrientation(Bytes& jpeg, int orientation) {
    const auto segment = ExifSegment(jpeg);
    if (!segment) {
        return false;
    }
    const ByteSpan payload(jpeg.data() + segment->first, segment->second);
    const std::optional<OrientationField> field = FindOrientation(payload);
    if (!field) {
        return false;
    }
    std::uint8_t* value = jpeg.data() + segment->first + field->offset;
    value[field->littleEndian ? 0 : 1] = static_cast<std::uint8_t>(orientation);
    value[field->littleEndian ? 1 : 0] = 0;
    return true;
}

}  // namespace tavopix
