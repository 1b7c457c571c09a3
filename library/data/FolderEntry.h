// One folder the folder dialog's enumeration worker found: its stored path, whether it holds
// folders (a branch the user can open) and whether it is a top-level entry (a special folder or
// a drive). `generation` names the worker run that found it, so the dialog puts it under the
// node that run was filling, or drops it when that run was stopped. Posted with
// WM_FOLDER_FOUND; the dialog frees it.
#pragma once

#include <string>

namespace tavopix {

struct FolderEntry {
    std::u16string path;
    bool hasSubfolders = false;
    bool topLevel = false;
    unsigned generation = 0;
};

}  // namespace tavopix
