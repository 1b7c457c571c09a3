#include "library/data/PictureFilter.h"

#include <string>

#include "app/TextConvert.h"
#include "platform/WholeFile.h"

namespace tavopix {
namespace {

void PutU32(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t GetU32(const std::uint8_t* in) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(in[i]) << (8 * i);
    }
    return value;
}

}  // namespace

std::array<std::uint8_t, kPictureFilterBytes> EncodePictureFilter(const PictureFilter& filter) {
    std::array<std::uint8_t, kPictureFilterBytes> bytes{};
    PutU32(&bytes[0], filter.typeBits);
    PutU32(&bytes[4], filter.sizeBits);
    PutU32(&bytes[8], filter.dayCount);
    for (std::size_t i = 0; i < filter.reserved.size(); ++i) {
        bytes[12 + i] = filter.reserved[i];
    }
    return bytes;
}

PictureFilter DecodePictureFilter(const std::array<std::uint8_t, kPictureFilterBytes>& bytes) {
    PictureFilter filter;
    filter.typeBits = GetU32(&bytes[0]);
    filter.sizeBits = GetU32(&bytes[4]);
    filter.dayCount = GetU32(&bytes[8]);
    for (std::size_t i = 0; i < filter.reserved.size(); ++i) {
        filter.reserved[i] = bytes[12 + i];
    }
    return filter;
}

bool LoadPictureFilter(const std::u16string& path, PictureFilter& filter) {
    std::string narrow;
    std::string content;
    if (ToUtf8(path, narrow) == 0 || !ReadWholeFile(narrow, content) ||
        content.size() < kPictureFilterBytes) {
        return false;
    }
    std::array<std::uint8_t, kPictureFilterBytes> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(content[i]);
    }
    filter = DecodePictureFilter(bytes);
    return true;
}

bool SavePictureFilter(const std::u16string& path, const PictureFilter& filter) {
    const auto bytes = EncodePictureFilter(filter);
    std::string narrow;
    return ToUtf8(path, narrow) > 0 &&
           WriteFileAtomically(narrow, std::string(bytes.begin(), bytes.end()));
}

}  // namespace tavopix
