// The part of an upload that has not been sent yet, kept across a close, a crash or a power
// loss in "pendingUpload.dat" beside the program, so the next start can offer to go on with it.
// The upload dialog rewrites the file as its pass goes (every acknowledged picture leaves it)
// and removes it once nothing is left to send.
//
// Format: UTF-16LE with FF FE, lines ending in CR LF, written whole and replaced atomically:
//
//     pending_upload 1
//     album <album id>
//     full_size <0 or 1>
//     path <stored picture path>      (one line per picture, in queue order)
//
// A file that does not begin with that first line, lacks the album, or names no picture counts
// as no pending upload.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/UserDataFiles.h"

namespace tavopix {

struct PendingUpload {
    std::u16string albumId;
    int keepFullSize = 0;
    std::vector<std::u16string> paths;
};

class PendingUploadFile {
public:
    explicit PendingUploadFile(std::u16string filePath) : filePath_(std::move(filePath)) {}

    // Replaces the file with `pending`; with no paths, removes it. False when it cannot.
    bool Write(const PendingUpload& pending) const;
    [[nodiscard]] std::optional<PendingUpload> Read() const;
    bool Remove() const;

private:
    std::u16string filePath_;
};

// The file in the program folder.
std::u16string PendingUploadFilePath();

}  // namespace tavopix
