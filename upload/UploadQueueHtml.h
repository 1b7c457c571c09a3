// The markup of the upload queue: a waiting item per picture for "task_list", the status
// fragments that replace an item's "div.sts", and the done item that "done_list" gets for an
// uploaded picture. Values (paths, thumbnail and picture addresses) are escaped, so any file
// name keeps its exact value in the attribute that carries it. All of it is UTF-8, ready for
// Element::SetHtml.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavopix {

// Reconnecting is an uploading item whose connection broke; it is sent on by itself.
enum class UploadItemStatus { Waiting, Uploading, Error, Timeout, Reconnecting };

// One waiting item per stored path, in order, as one text.
std::string QueueItemsHtml(const std::vector<std::u16string>& paths);

// The content of an item's "div.sts" for `status`: the close icon and the status paragraph.
std::string_view StatusHtml(UploadItemStatus status);

// An uploaded picture: its thumbnail and the link that copies its address. A picture the
// album held already carries the note 已在相册中 over its thumbnail.
enum class DoneNote { None, AlreadyInAlbum };
std::string DoneItemHtml(std::u16string_view thumbnail, std::u16string_view url,
                         DoneNote note = DoneNote::None);

}  // namespace tavopix
