// ImgFilterCfg.dat of any length; a record that loads must save to the same first 20 bytes,
// and the picture test must take whatever it holds.
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzDataFile.h"
#include "library/data/PictureFilter.h"
#include "library/data/PictureMatcher.h"
#include "platform/WholeFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tavopix::fuzzing::DataFile file("ImgFilterCfg.dat", data, size);
    const std::u16string& path = file.path();
    tavopix::PictureFilter filter;
    if (!tavopix::LoadPictureFilter(path, filter)) {
        if (size >= tavopix::kPictureFilterBytes) {
            __builtin_trap();
        }
        return 0;
    }
    const tavopix::PictureMatcher matcher(filter, tavopix::FileTimeFromUnix(1796673600, 0));
    (void)matcher.Matches(u"a.JPEG", false, 20480, 0);
    (void)matcher.Matches(u"b.png", false, 0xFFFFFFFFu, ~std::uint64_t{0});
    if (!tavopix::SavePictureFilter(path, filter)) {
        return 0;
    }
    std::string written;
    if (!tavopix::ReadWholeFile(tavopix::Utf8(path), written) ||
        written.size() != tavopix::kPictureFilterBytes ||
        std::memcmp(written.data(), data, written.size()) != 0) {
        __builtin_trap();
    }
    return 0;
}
