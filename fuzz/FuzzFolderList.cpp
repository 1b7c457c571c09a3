// SetPathCfg.dat as it may be found on disk; what loads must save and load again unchanged.
#include <cstdint>

#include "FuzzDataFile.h"
#include "library/data/FolderList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tavopix::fuzzing::DataFile file("SetPathCfg.dat", data, size);
    const std::u16string& path = file.path();
    tavopix::FolderList list(path);
    if (!list.Load()) {
        return 0;
    }
    for (const std::u16string& entry : list.Entries()) {
        (void)list.Covers(entry);
        (void)list.CheckAttributeFor(entry);
    }
    if (!list.Save()) {
        return 0;
    }
    const auto saved = list.Entries();
    tavopix::FolderList again(path);
    if (!saved.empty() && (!again.Load() || again.Entries() != saved)) {
        __builtin_trap();
    }
    return 0;
}
