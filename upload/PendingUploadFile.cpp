#include "upload/PendingUploadFile.h"

#include <cerrno>
#include <cstdio>

#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "app/TextFile.h"

namespace tavopix {

namespace {

constexpr std::u16string_view kFirstLine = u"pending_upload 1";
constexpr std::u16string_view kAlbum = u"album ";
constexpr std::u16string_view kFullSize = u"full_size ";
constexpr std::u16string_view kPath = u"path ";

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool PendingUploadFile::Write(const PendingUpload& pending) const {
    if (pending.paths.empty())
        return Remove();
    std::u16string text(kFirstLine);
    text += u"\r\n";
    text += kAlbum;
    text += pending.albumId;
    text += u"\r\n";
    text += kFullSize;
    text += pending.keepFullSize ? u"1" : u"0";
    text += u"\r\n";
    for (const std::u16string& path : pending.paths) {
        text += kPath;
        text += path;
        text += u"\r\n";
    }
    return WriteTextFile(filePath_, text);
}

std::optional<PendingUpload> PendingUploadFile::Read() const {
    std::u16string text;
    if (!ReadTextFile(filePath_, text))
        return std::nullopt;
    std::u16string line;
    int at = ReadLine(text, line, 0);
    if (at < 0 || line != kFirstLine)
        return std::nullopt;
    PendingUpload pending;
    while ((at = ReadLine(text, line, at)) >= 0) {
        if (StartsWith(line, kAlbum)) {
            pending.albumId = line.substr(kAlbum.size());
        } else if (StartsWith(line, kFullSize)) {
            pending.keepFullSize = line.substr(kFullSize.size()) == u"1" ? 1 : 0;
        } else if (StartsWith(line, kPath) && line.size() > kPath.size()) {
            pending.paths.push_back(line.substr(kPath.size()));
        }
    }
    if (pending.albumId.empty() || pending.paths.empty())
        return std::nullopt;
    return pending;
}

bool PendingUploadFile::Remove() const {
    return std::remove(Utf8(filePath_).c_str()) == 0 || errno == ENOENT;
}

std::u16string PendingUploadFilePath() {
    return appContext.programDir + std::u16string(kPendingUploadFileName);
}

}  // namespace tavopix
