// The program folder's update area: a hidden folder beside the program that holds the
// downloaded package, the files unpacked from it and the mark that they are complete. Nothing of
// the user's lives there, and nothing an update does reaches outside it before the install.
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

// The update area's name in the program folder.
inline constexpr std::string_view kUpdateFolderName = ".update";

struct UpdateFolders {
    explicit UpdateFolders(const std::string& programDir)
        : root(programDir + std::string(kUpdateFolderName) + "/"),
          download(root + "download/"),
          staging(root + "staging/"),
          readyMark(root + "ready") {}

    std::string root;       // the update area
    std::string download;   // where the package download lands, under the service's name
    std::string staging;    // the package's files, unpacked and checked, before the install
    std::string readyMark;  // present once `staging` is complete: the install may go on
};

}  // namespace tavopix
