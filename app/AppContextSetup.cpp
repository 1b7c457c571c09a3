#include "app/AppContextSetup.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>

#include "app/AppContext.h"
#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "app/UserDataFiles.h"
#include "platform/FileSystem.h"
#include "platform/LastError.h"
#include "platform/UserFolders.h"

namespace tavopix {
namespace {

std::u16string FolderWithSeparator(std::string folder) {
    if (folder.empty())
        return {};
    if (folder.back() != '/')
        folder.push_back('/');
    return FromUtf8(folder);
}

std::u16string Escaped(std::u16string text) {
    PercentEscape(text);
    return text;
}

bool IsFolder(const std::string& path) {
    FileAttributes attributes;
    return ReadFileAttributes(path, attributes) && attributes.isDirectory;
}

// "Already exists" also comes for a plain file of that name, which cannot hold thumbnails.
bool MakeOrFindFolder(const std::string& path) {
    return MakeDirectory(path) || (GetLastError() == ERROR_ALREADY_EXISTS && IsFolder(path));
}

// The thumbnail cache: beside the program, or, where that folder cannot be made (a program
// folder the user may not write to), in the user's own cache folder, or at worst in a private
// folder of this run. Never the working folder, which the interface would then serve.
std::string ThumbnailCacheFolder(const std::string& programDir) {
    const std::string folderName = Utf8(kThumbnailCacheFolderName) + "/";
    const std::string beside = programDir + folderName;
    if (MakeOrFindFolder(beside))
        return beside;
    if (const std::string cache = UserCacheFolder(); !cache.empty()) {
        std::error_code error;
        std::filesystem::create_directories(cache, error);
        const std::string own = cache + "tavopix/";
        if (MakeOrFindFolder(own)) {
            std::filesystem::permissions(own, std::filesystem::perms::owner_all, error);
            if (MakeOrFindFolder(own + folderName))
                return own + folderName;
        }
    }
    std::string temporary =
        (std::filesystem::temp_directory_path() / "tavopix-iconsdb-XXXXXX").string();
    return mkdtemp(temporary.data()) ? temporary + "/" : std::string();
}

}  // namespace

std::u16string ProgramFolder() {
    const std::string folder = ProgramDirectory();
    return folder.empty() ? std::u16string(u"./") : FolderWithSeparator(folder);
}

void ResolveAppContext(const std::u16string& programDir) {
    appContext.programDir = programDir;
    appContext.desktopDir = FolderWithSeparator(GetSpecialFolder(SpecialFolder::Desktop));
    appContext.myPicturesDir = FolderWithSeparator(GetSpecialFolder(SpecialFolder::Pictures));
    appContext.myDocumentsDir = FolderWithSeparator(GetSpecialFolder(SpecialFolder::Documents));
    appContext.prevCursorStyle = Escaped(u"url(" + programDir + u"skin/res/view_prev.ani)");
    appContext.nextCursorStyle = Escaped(u"url(" + programDir + u"skin/res/view_next.ani)");
    appContext.errorImagePath = Escaped(programDir + u"skin/res/error_img.jpg");
    appContext.iconCacheDir = FromUtf8(ThumbnailCacheFolder(Utf8(programDir)));
}

}  // namespace tavopix
