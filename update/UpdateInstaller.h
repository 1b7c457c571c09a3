// Installing an update package into the program folder.
//
// A package is a tar archive (usually gzip-compressed) of the
// program folder's own files: the program "tavopix" at its top, and folders such as skin/ and
// web/. scripts/make-update-package.sh makes one from a build.
//
// The install runs after every window has closed. It takes only a package signed with the
// program's update key (PackageSignature.h). It unpacks the package into the update area
// and checks every entry before anything in the program folder changes: only plain files and
// folders, relative names that stay inside the folder, none of the user's files (settings, the
// remembered login, the library's data files, the thumbnail cache, the service configuration),
// and the program itself among them. Only then is the area marked ready and each file renamed
// over its old copy. A cut-off install is finished by the next start (the files are all there
// once the mark exists), and one cut off before the mark leaves the old program untouched.
// Files of the old version that the package does not hold stay where they are.
#pragma once

#include <string>

namespace tavopix {

enum class InstallResult {
    Installed,
    Refused,  // the package is not a usable one; nothing in the program folder changed
    Failed,   // the folder could not be written; the next start finishes or discards the install
};

// Installs the package at `packagePath` into `programDir` (ending with '/'). The update area, with
// the downloaded package in it, is cleared afterwards unless a failure leaves an install for the
// next start to finish. `error` says why on failure.
InstallResult InstallUpdatePackage(const std::string& programDir, const std::string& packagePath,
                                   std::string& error);

// At start-up, before anything reads the program folder: finishes an install that was cut off
// after its files were complete, and removes the remains of one cut off before. True when it
// finished one.
bool FinishInterruptedUpdate(const std::string& programDir);

}  // namespace tavopix
