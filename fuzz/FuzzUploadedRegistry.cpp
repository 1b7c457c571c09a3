// uploadedImg.dat as it may be found on disk; what loads must save, and load and save again to
// the same bytes.
#include <cstdint>
#include <string>

#include "FuzzDataFile.h"
#include "library/data/UploadedRegistry.h"
#include "platform/WholeFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tavopix::UploadedRegistry;
    const tavopix::fuzzing::DataFile file("uploadedImg.dat", data, size);
    const std::u16string& path = file.path();
    UploadedRegistry registry(path);
    if (!registry.Load()) {
        return 0;
    }
    std::string first;
    if (!registry.Save(UploadedRegistry::Write::On) ||
        !tavopix::ReadWholeFile(tavopix::Utf8(path), first)) {
        return 0;
    }
    UploadedRegistry again(path);
    std::string second;
    if (registry.Count() > 0 &&
        (!again.Load() || again.Count() != registry.Count() ||
         !again.Save(UploadedRegistry::Write::On) ||
         !tavopix::ReadWholeFile(tavopix::Utf8(path), second) || second != first)) {
        __builtin_trap();
    }
    return 0;
}
