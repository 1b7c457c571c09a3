// PNG decoding and encoding through libpng. libpng reports errors by longjmp, so every call
// that may fail runs in a small function whose only C++ objects were made before its setjmp.
#include <png.h>

#include <cstring>

#include "image/BitmapReducer.h"
#include "image/ByteReading.h"
#include "image/PictureCodecs.h"
#include "image/PictureHeader.h"

namespace tavopix {

namespace {

void SilentError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void SilentWarning(png_structp, png_const_charp) {}

void ReadFromMemory(png_structp png, png_bytep to, png_size_t count) {
    if (static_cast<ByteCursor*>(png_get_io_ptr(png))->Take(to, count) != count) {
        png_error(png, "truncated");
    }
}

void WriteToMemory(png_structp png, png_bytep from, png_size_t count) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), from, from + count);
}

void FlushNothing(png_structp) {}

// Reads the header and sets up the conversion to 8-bit RGB or RGBA, without colour
// management: gamma and colour-profile chunks are left unapplied. `passes` is 7 for an
// interlaced picture, else 1.
bool ReadInfo(png_structp png, png_infop info, std::size_t fileBytes, png_uint_32& width,
              png_uint_32& height, int& channels, int& passes) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    if (!FitsPixelBudget(width, height, fileBytes)) {
        return false;
    }
    png_set_expand(png);  // palettes to RGB, low bit depths to 8, tRNS to alpha
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    channels = png_get_channels(png, info);
    return channels == 3 || channels == 4;
}

bool ReadRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_image(png, rows);
    return true;
}

// Reads the picture a row at a time into `reducer`. With interlacing each of the seven passes
// runs over every row; a row of a pass holds only that pass's pixels, in place.
bool ReadReduced(png_structp png, int passes, png_uint_32 height, png_bytep row,
                 BitmapReducer* reducer) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, row, nullptr);
            if (passes == 1) {
                reducer->Add(static_cast<int>(y), row);
            } else if (PNG_ROW_IN_INTERLACE_PASS(y, pass)) {
                reducer->Add(static_cast<int>(y), row, static_cast<int>(PNG_PASS_START_COL(pass)),
                             static_cast<int>(PNG_PASS_COL_OFFSET(pass)));
            }
        }
    }
    return true;
}

bool WriteImage(png_structp png, png_infop info, const Bitmap& bitmap, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width),
                 static_cast<png_uint_32>(bitmap.height), 8,
                 bitmap.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

std::vector<png_bytep> RowPointers(const Bitmap& bitmap) {
    std::vector<png_bytep> rows(static_cast<std::size_t>(bitmap.height));
    for (int y = 0; y < bitmap.height; ++y) {
        rows[static_cast<std::size_t>(y)] =
            const_cast<png_bytep>(bitmap.pixels.data()) + bitmap.Stride() * y;
    }
    return rows;
}

}  // namespace

std::optional<Bitmap> DecodePng(ByteSpan bytes, int coverWidth, int coverHeight) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return std::nullopt;
    }
    ByteCursor cursor{bytes};
    png_set_read_fn(png, &cursor, ReadFromMemory);
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int channels = 0;
    int passes = 1;
    std::optional<Bitmap> result;
    if (ReadInfo(png, info, bytes.size(), width, height, channels, passes)) {
        const int factor = BitmapReducer::FactorFor(width, height, coverWidth, coverHeight);
        if (factor > 1) {
            BitmapReducer reducer(static_cast<int>(width), static_cast<int>(height), channels,
                                  factor);
            std::vector<png_byte> row(static_cast<std::size_t>(width) * channels);
            if (ReadReduced(png, passes, height, row.data(), &reducer)) {
                result = reducer.Finish();
            }
        } else {
            Bitmap bitmap = MakeBitmap(static_cast<int>(width), static_cast<int>(height), channels);
            std::vector<png_bytep> rows = RowPointers(bitmap);
            if (ReadRows(png, rows.data())) {
                result = std::move(bitmap);
            }
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return result;
}

bool EncodePng(const Bitmap& bitmap, Bytes& out) {
    if (bitmap.IsEmpty()) {
        return false;
    }
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    Bytes encoded;
    png_set_write_fn(png, &encoded, WriteToMemory, FlushNothing);
    std::vector<png_bytep> rows = RowPointers(bitmap);
    const bool written = WriteImage(png, info, bitmap, rows.data());
    png_destroy_write_struct(&png, &info);
    if (written) {
        out = std::move(encoded);
    }
    return written;
}

}  // namespace tavopix
