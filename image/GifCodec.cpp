// GIF reading, flattening of the first frame and lossless quarter turns through giflib.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "image/BitmapReducer.h"
#include "image/ByteReading.h"
#include "image/PictureCodecs.h"
#include "image/PictureHeader.h"

namespace tavopix {

namespace {

struct GifExtension {
    int code = 0;
    std::vector<Bytes> blocks;
};

struct GifPalette {
    int bitsPerPixel = 0;
    std::vector<GifColorType> colors;
};

struct GifFrame {
    std::vector<GifExtension> extensions;  // those written before the frame's image
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::optional<GifPalette> palette;
    Bytes indexes;  // width x height, rows top to bottom
};

struct GifDocument {
    int width = 0;
    int height = 0;
    int colorResolution = 8;
    int background = 0;
    std::optional<GifPalette> palette;
    std::vector<GifFrame> frames;
    std::vector<GifExtension> trailing;  // extensions after the last frame
};

int ReadFromMemory(GifFileType* gif, GifByteType* to, int count) {
    auto* cursor = static_cast<ByteCursor*>(gif->UserData);
    return static_cast<int>(cursor->Take(to, static_cast<std::size_t>(std::max(count, 0))));
}

int WriteToMemory(GifFileType* gif, const GifByteType* from, int count) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), from, from + count);
    return count;
}

struct GifReaderCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

std::optional<GifPalette> PaletteOf(const ColorMapObject* map) {
    if (map == nullptr || map->ColorCount < 1 || map->Colors == nullptr) {
        return std::nullopt;
    }
    return GifPalette{map->BitsPerPixel,
                      std::vector<GifColorType>(map->Colors, map->Colors + map->ColorCount)};
}

bool ReadExtension(GifFileType* gif, GifExtension& extension) {
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &extension.code, &block) != GIF_OK) {
        return false;
    }
    while (block != nullptr) {
        extension.blocks.emplace_back(block + 1, block + 1 + block[0]);
        if (DGifGetExtensionNext(gif, &block) != GIF_OK) {
            return false;
        }
    }
    return true;
}

// Reads frames until the end (or until `maxFrames`), refusing any frame, or all frames together,
// beyond what the file's size can hold before it is allocated.
std::optional<GifDocument> ReadGif(ByteSpan bytes, std::size_t maxFrames) {
    ByteCursor cursor{bytes};
    int error = 0;
    std::unique_ptr<GifFileType, GifReaderCloser> gif(DGifOpen(&cursor, ReadFromMemory, &error));
    if (!gif) {
        return std::nullopt;
    }
    GifDocument document;
    document.width = gif->SWidth;
    document.height = gif->SHeight;
    document.colorResolution = gif->SColorResolution;
    document.background = gif->SBackGroundColor;
    document.palette = PaletteOf(gif->SColorMap);
    std::uint64_t totalPixels = 0;
    std::vector<GifExtension> pending;
    while (document.frames.size() < maxFrames) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) != GIF_OK) {
            return std::nullopt;
        }
        if (record == TERMINATE_RECORD_TYPE) {
            break;
        }
        if (record == EXTENSION_RECORD_TYPE) {
            GifExtension extension;
            if (!ReadExtension(gif.get(), extension)) {
                return std::nullopt;
            }
            pending.push_back(std::move(extension));
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif.get()) != GIF_OK) {
            return std::nullopt;
        }
        const GifImageDesc& desc = gif->Image;
        const auto frameWidth = static_cast<std::uint64_t>(std::max(desc.Width, 0));
        const auto frameHeight = static_cast<std::uint64_t>(std::max(desc.Height, 0));
        totalPixels += frameWidth * frameHeight;
        if (!FitsPixelBudget(frameWidth, frameHeight, bytes.size()) ||
            !FitsPixelBudget(totalPixels, 1, bytes.size())) {
            return std::nullopt;
        }
        GifFrame frame;
        frame.extensions = std::move(pending);
        pending.clear();
        frame.left = desc.Left;
        frame.top = desc.Top;
        frame.width = desc.Width;
        frame.height = desc.Height;
        frame.palette = PaletteOf(desc.ColorMap);
        frame.indexes.resize(static_cast<std::size_t>(frame.width) * frame.height);
        auto readRow = [&](int row) {
            return DGifGetLine(gif.get(),
                               frame.indexes.data() + static_cast<std::size_t>(row) * frame.width,
                               frame.width) == GIF_OK;
        };
        if (desc.Interlace) {
            // The four passes of an interlaced image: every 8th row from 0, every 8th from 4,
            // every 4th from 2, every 2nd from 1.
            static constexpr int kStart[4] = {0, 4, 2, 1};
            static constexpr int kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass) {
                for (int row = kStart[pass]; row < frame.height; row += kStep[pass]) {
                    if (!readRow(row)) {
                        return std::nullopt;
                    }
                }
            }
        } else {
            for (int row = 0; row < frame.height; ++row) {
                if (!readRow(row)) {
                    return std::nullopt;
                }
            }
        }
        document.frames.push_back(std::move(frame));
    }
    document.trailing = std::move(pending);
    if (document.frames.empty()) {
        return std::nullopt;
    }
    return document;
}

int TransparentIndex(const GifFrame& frame) {
    for (const GifExtension& extension : frame.extensions) {
        GraphicsControlBlock control;
        if (extension.code == GRAPHICS_EXT_FUNC_CODE && !extension.blocks.empty() &&
            DGifExtensionToGCB(extension.blocks.front().size(), extension.blocks.front().data(),
                               &control) == GIF_OK) {
            return control.TransparentColor;
        }
    }
    return NO_TRANSPARENT_COLOR;
}

struct ColorMapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColorMap = std::unique_ptr<ColorMapObject, ColorMapDeleter>;

ColorMap MakeColorMap(const std::optional<GifPalette>& palette) {
    if (!palette) {
        return nullptr;
    }
    return ColorMap(
        GifMakeMapObject(static_cast<int>(palette->colors.size()), palette->colors.data()));
}

bool WriteExtensions(GifFileType* gif, const std::vector<GifExtension>& extensions) {
    for (const GifExtension& extension : extensions) {
        if (EGifPutExtensionLeader(gif, extension.code) != GIF_OK) {
            return false;
        }
        for (const Bytes& block : extension.blocks) {
            if (EGifPutExtensionBlock(gif, static_cast<int>(block.size()), block.data()) !=
                GIF_OK) {
                return false;
            }
        }
        if (EGifPutExtensionTrailer(gif) != GIF_OK) {
            return false;
        }
    }
    return true;
}

bool WriteGif(const GifDocument& document, Bytes& out) {
    Bytes encoded;
    int error = 0;
    GifFileType* gif = EGifOpen(&encoded, WriteToMemory, &error);
    if (gif == nullptr) {
        return false;
    }
    EGifSetGifVersion(gif, true);
    const ColorMap screenMap = MakeColorMap(document.palette);
    bool written = EGifPutScreenDesc(gif, document.width, document.height, document.colorResolution,
                                     document.background, screenMap.get()) == GIF_OK;
    for (const GifFrame& frame : document.frames) {
        const ColorMap frameMap = MakeColorMap(frame.palette);
        written = written && WriteExtensions(gif, frame.extensions) &&
                  EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, false,
                                   frameMap.get()) == GIF_OK;
        for (int row = 0; written && row < frame.height; ++row) {
            auto* line = const_cast<GifPixelType*>(frame.indexes.data() +
                                                   static_cast<std::size_t>(row) * frame.width);
            written = EGifPutLine(gif, line, frame.width) == GIF_OK;
        }
    }
    written = written && WriteExtensions(gif, document.trailing);
    written = EGifCloseFile(gif, &error) == GIF_OK && written;
    if (written) {
        out = std::move(encoded);
    }
    return written;
}

}  // namespace

std::optional<Bitmap> DecodeGif(ByteSpan bytes, int coverWidth, int coverHeight) {
    std::optional<GifDocument> document = ReadGif(bytes, 1);
    if (!document) {
        return std::nullopt;
    }
    const GifFrame& frame = document->frames.front();
    const std::optional<GifPalette>& palette = frame.palette ? frame.palette : document->palette;
    if (!palette) {
        return std::nullopt;
    }
    // The picture is the logical screen with the first frame placed on it. The screen is only
    // two numbers in the header, though: one larger than the file could fill is not allocated,
    // and the picture is then the frame alone, which the file does hold.
    int width = document->width > 0 ? document->width : frame.left + frame.width;
    int height = document->height > 0 ? document->height : frame.top + frame.height;
    int left = frame.left;
    int top = frame.top;
    if (!FitsPixelBudget(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height),
                         bytes.size())) {
        width = frame.width;
        height = frame.height;
        left = 0;
        top = 0;
    }
    // Row y of the picture into `row` (cleared): where the first frame leaves the screen
    // uncovered or transparent, the picture is clear.
    const int transparent = TransparentIndex(frame);
    const auto composeRow = [&](int y, std::uint8_t* row) {
        const int frameY = y - top;
        if (frameY < 0 || frameY >= frame.height) {
            return;
        }
        for (int x = std::max(0, -left); x < frame.width && left + x < width; ++x) {
            const int index = frame.indexes[static_cast<std::size_t>(frameY) * frame.width + x];
            if (index == transparent) {
                continue;
            }
            std::uint8_t* to = row + static_cast<std::size_t>(left + x) * 4;
            if (static_cast<std::size_t>(index) < palette->colors.size()) {
                const GifColorType& color = palette->colors[static_cast<std::size_t>(index)];
                to[0] = color.Red;
                to[1] = color.Green;
                to[2] = color.Blue;
            }
            to[3] = 255;
        }
    };
    const int factor =
        BitmapReducer::FactorFor(static_cast<std::uint32_t>(width),
                                 static_cast<std::uint32_t>(height), coverWidth, coverHeight);
    if (factor > 1) {
        // For a thumbnail only the frame's colour indexes are held whole, not its colours.
        BitmapReducer reducer(width, height, 4, factor);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 4);
        for (int y = 0; y < height; ++y) {
            std::fill(row.begin(), row.end(), 0);
            composeRow(y, row.data());
            reducer.Add(y, row.data());
        }
        return reducer.Finish();
    }
    Bitmap bitmap = MakeBitmap(width, height, 4);
    for (int y = 0; y < height; ++y) {
        composeRow(y, bitmap.pixels.data() + bitmap.Stride() * y);
    }
    return bitmap;
}

bool RotateGif(ByteSpan bytes, QuarterTurn turn, Bytes& out) {
    std::optional<GifDocument> document = ReadGif(bytes, SIZE_MAX);
    if (!document) {
        return false;
    }
    const int oldWidth = document->width;
    const int oldHeight = document->height;
    for (GifFrame& frame : document->frames) {
        Bitmap indexes{frame.width, frame.height, 1, std::move(frame.indexes)};
        frame.indexes = RotateBitmap(indexes, turn).pixels;
        const int left = frame.left;
        const int top = frame.top;
        if (turn == QuarterTurn::Clockwise) {
            frame.left = std::max(0, oldHeight - (top + frame.height));
            frame.top = left;
        } else {
            frame.left = top;
            frame.top = std::max(0, oldWidth - (left + frame.width));
        }
        std::swap(frame.width, frame.height);
    }
    std::swap(document->width, document->height);
    return WriteGif(*document, out);
}

}  // namespace tavopix
