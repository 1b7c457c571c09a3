// The names of what the program keeps at the top of its folder: the user's data, the service's
// address, its caches and its scratch files. Each module takes its file's name from here, and
// kUserDataFileNames lists them all for the update's install, which refuses a package that names
// one; a new file added here cannot be forgotten there.
#pragma once

#include <array>
#include <string_view>

namespace tavopix {

// The preferences (SettingsStore, SettingsFilePath).
inline constexpr std::u16string_view kSettingsFileName = u"tavopix.ini";
// The remembered login.
inline constexpr std::u16string_view kUserInfoFileName = u"UserInfo.dat";
// The chosen folders' list.
inline constexpr std::u16string_view kFolderListFileName = u"SetPathCfg.dat";
// The picture filter's record.
inline constexpr std::u16string_view kPictureFilterFileName = u"ImgFilterCfg.dat";
// The folder tree's cache.
inline constexpr std::u16string_view kSearchPathCacheFileName = u"searchPathCache.dat";
// The uploaded pictures by path.
inline constexpr std::u16string_view kUploadedRegistryFileName = u"uploadedImg.dat";
// The uploaded pictures by content.
inline constexpr std::u16string_view kUploadedContentFileName = u"uploadedHash.dat";
// The unsent part of an upload.
inline constexpr std::u16string_view kPendingUploadFileName = u"pendingUpload.dat";
// The SDK's configuration: where the album service is.
inline constexpr std::u16string_view kSdkConfigFileName = u"ovkCfg.ini";
// The thumbnail cache folder.
inline constexpr std::u16string_view kThumbnailCacheFolderName = u"iconsdb";
// The browser window's profile folder.
inline constexpr std::u16string_view kBrowserProfileFolderName = u".browser-profile";
// The pictures prepared for sending: the one being sent and the next ones, one per preparation
// lane.
inline constexpr std::array<std::u16string_view, 3> kUploadScratchNames = {
    u"~uploadtmp.jpg", u"~uploadtmp1.jpg", u"~uploadtmp2.jpg"};
// The BMP the viewer shows is converted into this file of the thumbnail cache folder, which the
// browser may fetch from (the program folder, which holds the login ticket, is never served).
inline constexpr std::u16string_view kBmpScratchName = u"~bmptojpg.jpg";

inline constexpr std::array kUserDataFileNames = {
    kSettingsFileName,         kUserInfoFileName,         kFolderListFileName,
    kPictureFilterFileName,    kSearchPathCacheFileName,  kUploadedRegistryFileName,
    kUploadedContentFileName,  kPendingUploadFileName,    kSdkConfigFileName,
    kThumbnailCacheFolderName, kBrowserProfileFolderName, kUploadScratchNames[0],
    kUploadScratchNames[1],    kUploadScratchNames[2],    kBmpScratchName,
};

}  // namespace tavopix
