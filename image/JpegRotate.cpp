// Quarter turns of JPEG files: lossless where the size allows, re-encoded at the source's own
// quality otherwise.
#include <turbojpeg.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "image/ExifOrientation.h"
#include "image/PictureCodecs.h"
#include "image/PictureHeader.h"
#include "image/TurboHandle.h"

namespace tavopix {

namespace {

struct Segment {
    std::uint8_t marker = 0;
    std::size_t offset = 0;  // of the 0xFF
    std::size_t size = 0;    // marker, length and body
};

// The marker segments from the start of the image up to the first scan.
std::vector<Segment> HeaderSegments(ByteSpan bytes) {
    std::vector<Segment> segments;
    std::size_t offset = 2;
    while (offset + 4 <= bytes.size() && bytes[offset] == 0xFF) {
        const std::uint8_t marker = bytes[offset + 1];
        if (marker == 0xFF) {
            ++offset;  // fill byte
            continue;
        }
        const std::size_t length = (bytes[offset + 2] << 8) | bytes[offset + 3];
        if (length < 2 || offset + 2 + length > bytes.size()) {
            break;
        }
        segments.push_back({marker, offset, 2 + length});
        if (marker == 0xDA) {
            break;
        }
        offset += 2 + length;
    }
    return segments;
}

bool IsMetadata(std::uint8_t marker) {
    return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
}

// The luminance table of the IJG encoder at quality 50, in any order: the estimate compares sums.
constexpr std::array<int, 64> kStandardLuminance = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

// A turn swaps the horizontal and vertical sampling factors.
ChromaSubsampling Turned(ChromaSubsampling subsampling) {
    switch (subsampling) {
        case ChromaSubsampling::S422:
            return ChromaSubsampling::S440;
        case ChromaSubsampling::S440:
            return ChromaSubsampling::S422;
        case ChromaSubsampling::S411:
            return ChromaSubsampling::S420;  // 1x4 has no encoder form
        default:
            return subsampling;
    }
}

// The freshly encoded JPEG with the source's metadata segments carried over, right after its
// start of image; its own JFIF segment gives way when the source has one.
Bytes WithSourceMetadata(ByteSpan bytes, const Bytes& encoded) {
    const std::vector<Segment> source = HeaderSegments(bytes);
    bool sourceHasJfif = false;
    for (const Segment& segment : source) {
        sourceHasJfif = sourceHasJfif || segment.marker == 0xE0;
    }
    const std::vector<Segment> fresh = HeaderSegments(encoded);
    std::size_t keepFrom = 2;
    Bytes merged(encoded.begin(), encoded.begin() + 2);
    if (!fresh.empty() && fresh.front().marker == 0xE0) {
        keepFrom = fresh.front().offset + fresh.front().size;
        if (!sourceHasJfif) {
            merged.insert(merged.end(), encoded.begin() + 2,
                          encoded.begin() + static_cast<std::ptrdiff_t>(keepFrom));
        }
    }
    for (const Segment& segment : source) {
        if (IsMetadata(segment.marker)) {
            const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(segment.offset);
            merged.insert(merged.end(), first, first + static_cast<std::ptrdiff_t>(segment.size));
        }
    }
    merged.insert(merged.end(), encoded.begin() + static_cast<std::ptrdiff_t>(keepFrom),
                  encoded.end());
    return merged;
}

// The turn the user asked for, done on the picture as it is seen: after whatever its Exif
// orientation says brings it upright.
Transform SeenTurn(const PictureHeader& header, QuarterTurn turn) {
    return Compose(UprightTransform(header.orientation), turn == QuarterTurn::Clockwise
                                                             ? Transform::Clockwise
                                                             : Transform::CounterClockwise);
}

}  // namespace

int EstimateJpegQuality(ByteSpan bytes) {
    for (const Segment& segment : HeaderSegments(bytes)) {
        if (segment.marker != 0xDB) {
            continue;
        }
        std::size_t at = segment.offset + 4;
        const std::size_t end = segment.offset + segment.size;
        while (at < end) {
            const int precision = bytes[at] >> 4;
            const int table = bytes[at] & 0x0F;
            const std::size_t entrySize = precision == 0 ? 1 : 2;
            if (at + 1 + 64 * entrySize > end) {
                break;
            }
            if (table == 0) {
                double sum = 0;
                double standard = 0;
                for (std::size_t i = 0; i < 64; ++i) {
                    const std::uint8_t* entry = bytes.data() + at + 1 + i * entrySize;
                    sum += entrySize == 1 ? entry[0] : (entry[0] << 8) | entry[1];
                    standard += kStandardLuminance[i];
                }
                const double scale = 100.0 * sum / standard;
                const double quality = scale <= 100.0 ? (200.0 - scale) / 2.0 : 5000.0 / scale;
                return static_cast<int>(std::lround(std::clamp(quality, 1.0, 100.0)));
            }
            at += 1 + 64 * entrySize;
        }
    }
    return kDefaultJpegQuality;
}

bool RotateJpegLossless(ByteSpan bytes, QuarterTurn turn, Bytes& out) {
    const std::optional<PictureHeader> header = ReadPictureHeader(bytes);
    if (!header || header->format != PictureFormat::Jpeg ||
        !FitsPixelBudget(header->width, header->height, bytes.size())) {
        return false;
    }
    TurboHandle handle(tjInitTransform());
    if (!handle) {
        return false;
    }
    tjtransform transform{};
    // The transform numbers are the library's TJXOP values.
    transform.op = static_cast<int>(SeenTurn(*header, turn));
    transform.options = TJXOPT_PERFECT;
    unsigned char* turned = nullptr;
    unsigned long turnedSize = 0;
    auto run = [&](int flags) {
        tjFree(turned);
        turned = nullptr;
        turnedSize = 0;
        return tjTransform(handle.get(), bytes.data(), static_cast<unsigned long>(bytes.size()), 1,
                           &turned, &turnedSize, &transform, flags);
    };
    int result = run(TJFLAG_LIMITSCANS | TJFLAG_STOPONWARNING);
    if (result != 0 && OnlyStrayBytes(handle.get())) {
        result = run(TJFLAG_LIMITSCANS) == 0 || OnlyStrayBytes(handle.get()) ? 0 : -1;
    }
    std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(turned, tjFree);
    if (result != 0 || turned == nullptr) {
        return false;
    }
    out.assign(turned, turned + turnedSize);
    // The pixels now stand as they are seen; the kept Exif data must say so.
    SetJpegOrientation(out, kUprightOrientation);
    return true;
}

bool RotateJpegReencoded(ByteSpan bytes, QuarterTurn turn, Bytes& out) {
    const std::optional<PictureHeader> header = ReadPictureHeader(bytes);
    const std::optional<ChromaSubsampling> subsampling = JpegSubsampling(bytes);
    std::optional<Bitmap> decoded = DecodeJpeg(bytes, 0, 0);
    if (!header || !subsampling || !decoded) {
        return false;
    }
    const Transform transform = SeenTurn(*header, turn);
    const Bitmap turned = TransformBitmap(*decoded, transform);
    decoded.reset();
    Bytes encoded;
    if (!EncodeJpeg(turned, EstimateJpegQuality(bytes),
                    SwapsSides(transform) ? Turned(*subsampling) : *subsampling, encoded)) {
        return false;
    }
    out = WithSourceMetadata(bytes, encoded);
    SetJpegOrientation(out, kUprightOrientation);
    return true;
}

}  // namespace tavopix
