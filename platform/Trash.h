// Deleting a file the way the desktop does: into the trash, from where the user can restore it
// (the freedesktop.org trash: the file goes to "files/" of a trash folder and a ".trashinfo"
// file in "info/" records where it came from and when). A file on the home file system goes to
// the home trash ($XDG_DATA_HOME/Trash, by default ~/.local/share/Trash); a file on another
// file system goes to that volume's "$topdir/.Trash/$uid" when the administrator made one,
// else to "$topdir/.Trash-$uid". Only where no trash can be used is the file deleted for good.
#pragma once

#include <string>

namespace tavopix {

enum class TrashResult {
    Trashed,  // moved into a trash folder, with its .trashinfo
    Deleted,  // no trash could take it: deleted for good
    Failed,   // neither: the file is where it was
};

// Moves the file at `path` (UTF-8, absolute) into the trash; see above.
[[nodiscard]] TrashResult MoveToTrash(const std::string& path);

}  // namespace tavopix
