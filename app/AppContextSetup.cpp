#include "app/AppContextSetup.h"

#include "app/AppContext.h"
#include "app/PathTokens.h"
#include "app/TextConvert.h"
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
    appContext.iconCacheDir = programDir + u"iconsdb/";
    // "Already exists" also comes for a plain file of that name, which cannot hold thumbnails.
    const std::string cache = Utf8(appContext.iconCacheDir);
    if (!MakeDirectory(cache) && !(GetLastError() == ERROR_ALREADY_EXISTS && IsFolder(cache))) {
        appContext.iconCacheDir = u"./";
    }
}

}  // namespace tavopix
