// Decoded through the library's own interface rather than TurboJPEG's, which cannot turn block
// smoothing off: with the AC scans left out the decoder would otherwise guess the missing
// coefficients from the neighbouring blocks and move the DC values it blends them with. Every
// call that may fail runs in a small function whose only C++ objects were made before its
// setjmp.
#include "image/JpegEighthScale.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdint>

#include "image/ByteReading.h"

namespace tavopix {

namespace {

// As TurboJPEG's limit, so a file of endless tiny scans is left to the whole decode to refuse.
constexpr int kMaxScans = 500;
constexpr int kMaxComponents = 4;

// The end of the entropy-coded data that starts at `from`: the first marker that is neither a
// stuffed 0xFF nor a restart. Nothing when the file ends first.
std::optional<std::size_t> EntropyDataEnd(ByteSpan bytes, std::size_t from) {
    for (std::size_t at = from; at + 1 < bytes.size(); ++at) {
        if (bytes[at] == 0xFF) {
            const std::uint8_t next = bytes[at + 1];
            if (next != 0x00 && (next < 0xD0 || next > 0xD7)) {
                return at;
            }
            ++at;
        }
    }
    return std::nullopt;
}

// The stream without the AC scans of the components that 1/8 scale decodes from their DC
// coefficient alone; nothing unless it is progressive Huffman-coded and its segments can be
// followed to the end of the image.
std::optional<Bytes> ScansReadAtEighth(ByteSpan bytes) {
    std::size_t at = 2;
    const auto has = [&](std::size_t count) { return bytes.size() - at >= count; };
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        return std::nullopt;
    }
    Bytes out(bytes.begin(), bytes.begin() + 2);
    out.reserve(bytes.size() / 4);
    std::array<int, kMaxComponents> readWhole{};  // component ids whose AC scans are kept
    int components = 0;
    bool progressive = false;
    int scans = 0;
    for (;;) {
        // Stray bytes before a marker are passed over, as the decoder passes over them.
        while (has(1) && bytes[at] != 0xFF) {
            ++at;
        }
        while (has(2) && bytes[at + 1] == 0xFF) {
            ++at;
        }
        if (!has(2)) {
            return std::nullopt;
        }
        const std::uint8_t marker = bytes[at + 1];
        if (marker == 0xD9) {
            if (!progressive) {
                return std::nullopt;
            }
            out.push_back(0xFF);
            out.push_back(0xD9);
            return out;
        }
        // Standalone markers out of place, the line count after the first scan: left to the
        // whole decode.
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8) || marker == 0xDC || !has(4)) {
            return std::nullopt;
        }
        const std::size_t length = BigEndian16(&bytes[at + 2]);
        if (length < 2 || !has(2 + length)) {
            return std::nullopt;
        }
        const std::size_t segmentEnd = at + 2 + length;
        const ByteSpan segment = bytes.subspan(at + 4, segmentEnd - at - 4);
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            // A component's block at 1/8 grows to 2 x 2 (and reads AC coefficients) when it is
            // subsampled both ways by at least two, as the decoder picks its block sizes.
            if (marker != 0xC2 || progressive || segment.size() < 6) {
                return std::nullopt;
            }
            components = segment[5];
            if (components < 1 || components > kMaxComponents ||
                segment.size() < 6 + 3 * static_cast<std::size_t>(components)) {
                return std::nullopt;
            }
            int maxH = 1;
            int maxV = 1;
            for (int c = 0; c < components; ++c) {
                maxH = std::max(maxH, segment[7 + 3 * c] >> 4);
                maxV = std::max(maxV, segment[7 + 3 * c] & 0x0F);
            }
            for (int c = 0; c < components; ++c) {
                const int h = segment[7 + 3 * c] >> 4;
                const int v = segment[7 + 3 * c] & 0x0F;
                readWhole[c] = h > 0 && v > 0 && maxH % (h * 2) == 0 && maxV % (v * 2) == 0
                                   ? segment[6 + 3 * c]
                                   : -1;
            }
            progressive = true;
        }
        if (marker != 0xDA) {
            out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes.begin() + static_cast<std::ptrdiff_t>(segmentEnd));
            at = segmentEnd;
            continue;
        }
        if (!progressive || ++scans > kMaxScans || segment.empty() ||
            segment.size() < 1 + 2 * std::size_t{segment[0]} + 3) {
            return std::nullopt;
        }
        const int inScan = segment[0];
        const int spectralStart = segment[1 + 2 * inScan];
        bool kept = spectralStart == 0;
        for (int s = 0; s < inScan && !kept; ++s) {
            for (int c = 0; c < components; ++c) {
                kept = kept || readWhole[c] == segment[1 + 2 * s];
            }
        }
        const std::optional<std::size_t> dataEnd = EntropyDataEnd(bytes, segmentEnd);
        if (!dataEnd) {
            return std::nullopt;
        }
        if (kept) {
            out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes.begin() + static_cast<std::ptrdiff_t>(*dataEnd));
        }
        at = *dataEnd;
    }
}

struct FailureExit {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void LeaveOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<FailureExit*>(info->err)->jump, 1);
}

// Any warning but stray bytes between segments means corrupt data.
void LeaveOnWarning(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code != JWRN_EXTRANEOUS_DATA) {
        LeaveOnError(info);
    }
}

bool DecodeInto(jpeg_decompress_struct& info, FailureExit& failure, ByteSpan scans,
                Bitmap& bitmap) {
    if (setjmp(failure.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, scans.data(), static_cast<unsigned long>(scans.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || !info.progressive_mode ||
        (info.jpeg_color_space != JCS_YCbCr && info.jpeg_color_space != JCS_GRAYSCALE)) {
        return false;
    }
    info.scale_num = 1;
    info.scale_denom = 8;
    info.do_block_smoothing = FALSE;
    info.out_color_space = JCS_RGB;
    if (!jpeg_start_decompress(&info) || static_cast<int>(info.output_width) != bitmap.width ||
        static_cast<int>(info.output_height) != bitmap.height || info.output_components != 3) {
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = bitmap.pixels.data() + bitmap.Stride() * info.output_scanline;
        if (jpeg_read_scanlines(&info, &row, 1) != 1) {
            return false;
        }
    }
    return jpeg_finish_decompress(&info) == TRUE;
}

}  // namespace

std::optional<Bitmap> DecodeProgressiveJpegAtEighth(ByteSpan bytes, int width, int height) {
    if (width < 1 || height < 1) {
        return std::nullopt;
    }
    const std::optional<Bytes> scans = ScansReadAtEighth(bytes);
    if (!scans) {
        return std::nullopt;
    }
    Bitmap bitmap = MakeBitmap(width, height, 3);
    FailureExit failure{};
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = LeaveOnError;
    failure.manager.emit_message = LeaveOnWarning;
    const bool decoded = DecodeInto(info, failure, *scans, bitmap);
    jpeg_destroy_decompress(&info);
    if (!decoded) {
        return std::nullopt;
    }
    return bitmap;
}

}  // namespace tavopix
