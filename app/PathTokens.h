// Stored paths: the Desktop, My Documents and My Pictures folders are kept as the tokens
// "%destop%", "%mydoc%" and "%mypic%" in data files and pages, and expanded from AppContext
// only for a file-system call. Also the shell helpers and the box fitting of the grids.
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

inline constexpr std::u16string_view kDesktopToken = u"%destop%";
inline constexpr std::u16string_view kMyDocumentsToken = u"%mydoc%";
inline constexpr std::u16string_view kMyPicturesToken = u"%mypic%";
inline constexpr std::u16string_view kDiskKind = u"%disk%";
inline constexpr std::u16string_view kFolderKind = u"%folder%";

// The real path of a stored path; empty when it begins with "%" but holds none of the tokens
// exactly once.
std::u16string ExpandPath(std::u16string_view stored);

// The first component of `path` from `start` (a token, or text up to and including the next
// separator) in `head`; returns its length, or -1 when there is none.
int PathHead(std::u16string_view path, int start, std::u16string& head);

struct PathClass {
    std::u16string kind;     // a token, kDiskKind or kFolderKind
    std::u16string display;  // the name the tree shows
};
// A token alone is its own kind with its Chinese name; a drive (the root "/" or the mount point
// of a drive in platform/Drives.h) is kDiskKind shown as its path without the trailing
// separator ("/" for the root); anything else is kFolderKind shown as its last component.
PathClass ClassifyPath(std::u16string_view path);

// Opens a document, folder or web address with the desktop's handler, detached. Always true.
bool OpenWithShell(std::u16string_view target);

// Shows a stored folder, or the folder of a stored file with the file selected. False only for
// an empty path or one that cannot be expanded.
bool ShowInExplorer(std::u16string_view stored);

// Fits width × height into a square of edge `side`, keeping the aspect ratio, at least 40 each.
void FitInBox(int& width, int& height, int side);

}  // namespace tavopix
