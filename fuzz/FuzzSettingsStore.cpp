// tavopix.ini as it may be found on disk, the first byte choosing the key: reading never fails
// hard, and a key that had a value reads back exactly what was set.
#include <cstdint>
#include <string>

#include "FuzzDataFile.h"
#include "app/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static constexpr std::u16string_view kKeys[] = {
        u"auto_close_after_upload",
        u"auto_check_update",
        u"tree_view_list",
        u"pl_sort_type",
        u"=",
        u"a",
        u"\r\n",
    };
    if (size == 0) {
        return 0;
    }
    std::u16string_view key = kKeys[data[0] % std::size(kKeys)];
    const std::u16string path = tavopix::fuzzing::WriteDataFile("tavopix.ini", data + 1, size - 1);
    namespace SettingsStore = tavopix::SettingsStore;
    std::u16string before;
    bool hadValue = SettingsStore::Get(path, key, before);
    if (!SettingsStore::Set(path, key, u"v1")) {
        __builtin_trap();
    }
    std::u16string after;
    if (hadValue && (!SettingsStore::Get(path, key, after) || after != u"v1")) {
        __builtin_trap();
    }
    return 0;
}
