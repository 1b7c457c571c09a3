#include "image/PictureHeader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/ByteReading.h"
#include "image/ExifOrientation.h"
#include "platform/RegularFile.h"

namespace tavopix {

namespace {

// Random access to the first bytes of a picture, from memory or from a file.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Copies `count` bytes at `offset` into `to`; false when they are not all there.
    [[nodiscard]] virtual bool Read(std::uint64_t offset, void* to, std::size_t count) = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool Read(std::uint64_t offset, void* to, std::size_t count) override {
        if (offset > bytes_.size() || bytes_.size() - offset < count) {
            return false;
        }
        std::memcpy(to, bytes_.data() + offset, count);
        return true;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

// Reads the file in blocks and keeps the last one: a JPEG header is a chain of short reads,
// most of them inside the first block.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& path) : file_(path) {}
    [[nodiscard]] bool IsOpen() const { return file_.IsOpen(); }

    bool Read(std::uint64_t offset, void* to, std::size_t count) override {
        auto* out = static_cast<std::uint8_t*>(to);
        while (count > 0) {
            if (offset < blockStart_ || offset >= blockStart_ + block_.size()) {
                if (!LoadBlock(offset - offset % kBlockSize)) {
                    return false;
                }
                if (offset >= blockStart_ + block_.size()) {
                    return false;
                }
            }
            const std::size_t inBlock = static_cast<std::size_t>(offset - blockStart_);
            const std::size_t take = std::min(count, block_.size() - inBlock);
            std::memcpy(out, block_.data() + inBlock, take);
            out += take;
            offset += take;
            count -= take;
        }
        return true;
    }

private:
    static constexpr std::size_t kBlockSize = 16384;

    bool LoadBlock(std::uint64_t start) {
        block_.resize(kBlockSize);
        const std::int64_t got = file_.ReadAt(start, block_.data(), kBlockSize);
        block_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        blockStart_ = start;
        return !block_.empty();
    }

    RegularFile file_;
    std::vector<std::uint8_t> block_;
    std::uint64_t blockStart_ = 0;
};

std::optional<PictureHeader> Sized(PictureFormat format, std::uint32_t width,
                                   std::uint32_t height) {
    return PictureHeader{format, width, height};
}

// Walks the marker segments to the first start-of-frame. Stray bytes between segments are
// passed over as the decoder does; a scan or the end of the image before any frame fails.
std::optional<PictureHeader> ReadJpegHeader(ByteSource& source) {
    constexpr int kMaxSegments = 10000;
    constexpr std::uint64_t kMaxStrayBytes = 65536;
    std::uint64_t offset = 2;
    int orientation = kUprightOrientation;
    for (int segment = 0; segment < kMaxSegments; ++segment) {
        std::uint8_t byte = 0;
        std::uint64_t stray = 0;
        while (source.Read(offset, &byte, 1) && byte != 0xFF && ++stray < kMaxStrayBytes) {
            ++offset;
        }
        while (source.Read(offset + 1, &byte, 1) && byte == 0xFF) {
            ++offset;
        }
        std::uint8_t marker[2];
        if (!source.Read(offset, marker, 2) || marker[0] != 0xFF) {
            return std::nullopt;
        }
        const std::uint8_t code = marker[1];
        offset += 2;
        if (code == 0xD8 || code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
            continue;  // markers without a segment
        }
        if (code == 0xD9 || code == 0xDA) {
            return std::nullopt;
        }
        std::uint8_t length[2];
        if (!source.Read(offset, length, 2) || BigEndian16(length) < 2) {
            return std::nullopt;
        }
        const bool isFrame =
            code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
        if (isFrame) {
            std::uint8_t frame[5];  // precision, height, width
            if (!source.Read(offset + 2, frame, sizeof frame)) {
                return std::nullopt;
            }
            std::optional<PictureHeader> header =
                Sized(PictureFormat::Jpeg, BigEndian16(frame + 3), BigEndian16(frame + 1));
            header->orientation = orientation;
            return header;
        }
        if (code == 0xE1 && orientation == kUprightOrientation) {
            // The first Exif segment says how the picture stands.
            std::vector<std::uint8_t> payload(BigEndian16(length) - 2u);
            if (payload.size() >= 14 && source.Read(offset + 2, payload.data(), payload.size())) {
                orientation = ExifOrientationOf(payload);
            }
        }
        offset += BigEndian16(length);
    }
    return std::nullopt;
}

std::optional<PictureHeader> ReadBmpHeader(ByteSource& source) {
    std::uint8_t header[26];
    if (!source.Read(0, header, sizeof header)) {
        return std::nullopt;
    }
    const std::uint32_t infoSize = LittleEndian32(header + 14);
    if (infoSize == 12) {  // the old core header with 16-bit sizes
        return Sized(PictureFormat::Bmp, LittleEndian16(header + 18), LittleEndian16(header + 20));
    }
    if (infoSize < 16) {
        return std::nullopt;
    }
    const auto width = static_cast<std::int32_t>(LittleEndian32(header + 18));
    const auto height = static_cast<std::int32_t>(LittleEndian32(header + 22));
    // A negative height marks rows stored top-down; a negative width means nothing.
    const std::int64_t rows = height < 0 ? -std::int64_t{height} : height;
    if (width < 0 || rows > 0x7FFFFFFF) {
        return Sized(PictureFormat::Bmp, 0, 0);
    }
    return Sized(PictureFormat::Bmp, static_cast<std::uint32_t>(width),
                 static_cast<std::uint32_t>(rows));
}

// Reads the image width (256) and length (257) tags of the first directory, classic or big.
std::optional<PictureHeader> ReadTiffHeader(ByteSource& source, bool littleEndian) {
    std::uint8_t head[16];
    if (!source.Read(0, head, 8)) {
        return std::nullopt;
    }
    auto read16 = [&](const std::uint8_t* p) {
        return littleEndian ? LittleEndian16(p) : BigEndian16(p);
    };
    auto read32 = [&](const std::uint8_t* p) {
        return littleEndian ? LittleEndian32(p) : BigEndian32(p);
    };
    auto read64 = [&](const std::uint8_t* p) {
        const std::uint64_t low = read32(littleEndian ? p : p + 4);
        const std::uint64_t high = read32(littleEndian ? p + 4 : p);
        return (high << 32) | low;
    };
    const bool big = read16(head + 2) == 43;
    std::uint64_t directory = 0;
    std::uint64_t entryCount = 0;
    if (big) {
        std::uint8_t count[8];
        if (!source.Read(0, head, 16) || !source.Read(read64(head + 8), count, 8)) {
            return std::nullopt;
        }
        directory = read64(head + 8) + 8;
        entryCount = read64(count);
    } else {
        std::uint8_t count[2];
        if (!source.Read(read32(head + 4), count, 2)) {
            return std::nullopt;
        }
        directory = std::uint64_t{read32(head + 4)} + 2;
        entryCount = read16(count);
    }
    const std::size_t entrySize = big ? 20 : 12;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool haveWidth = false;
    bool haveHeight = false;
    for (std::uint64_t i = 0; i < std::min<std::uint64_t>(entryCount, 4096); ++i) {
        std::uint8_t entry[20];
        if (!source.Read(directory + i * entrySize, entry, entrySize)) {
            return std::nullopt;
        }
        const std::uint32_t tag = read16(entry);
        const std::uint32_t type = read16(entry + 2);
        const std::uint8_t* value = entry + (big ? 12 : 8);
        std::uint64_t number = 0;
        if (type == 3) {
            number = read16(value);
        } else if (type == 4) {
            number = read32(value);
        } else if (type == 16 && big) {
            number = read64(value);
        } else {
            continue;
        }
        const auto clamped =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(number, 0xFFFFFFFF));
        if (tag == 256) {
            width = clamped;
            haveWidth = true;
        } else if (tag == 257) {
            height = clamped;
            haveHeight = true;
        }
    }
    if (!haveWidth || !haveHeight) {
        return std::nullopt;
    }
    return Sized(PictureFormat::Tiff, width, height);
}

std::optional<PictureHeader> ReadHeader(ByteSource& source) {
    std::uint8_t magic[24] = {};
    if (!source.Read(0, magic, 4)) {
        return std::nullopt;
    }
    if (magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) {
        return ReadJpegHeader(source);
    }
    if (magic[0] == 'B' && magic[1] == 'M') {
        return ReadBmpHeader(source);
    }
    if ((magic[0] == 'I' && magic[1] == 'I' && magic[2] == 42 && magic[3] == 0) ||
        (magic[0] == 'I' && magic[1] == 'I' && magic[2] == 43 && magic[3] == 0)) {
        return ReadTiffHeader(source, true);
    }
    if ((magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && magic[3] == 42) ||
        (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && magic[3] == 43)) {
        return ReadTiffHeader(source, false);
    }
    if (source.Read(0, magic, 10) &&
        (std::memcmp(magic, "GIF87a", 6) == 0 || std::memcmp(magic, "GIF89a", 6) == 0)) {
        return Sized(PictureFormat::Gif, LittleEndian16(magic + 6), LittleEndian16(magic + 8));
    }
    static constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (source.Read(0, magic, sizeof magic) && std::memcmp(magic, kPngSignature, 8) == 0 &&
        std::memcmp(magic + 12, "IHDR", 4) == 0) {
        return Sized(PictureFormat::Png, BigEndian32(magic + 16), BigEndian32(magic + 20));
    }
    return std::nullopt;
}

}  // namespace

std::optional<PictureHeader> ReadPictureHeader(std::span<const std::uint8_t> bytes) {
    MemorySource source(bytes);
    return ReadHeader(source);
}

std::optional<PictureHeader> ReadPictureHeaderOfFile(const std::string& path) {
    FileSource source(path);
    if (!source.IsOpen()) {
        return std::nullopt;
    }
    return ReadHeader(source);
}

}  // namespace tavopix
