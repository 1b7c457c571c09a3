#include "upload/UploadQueueHtml.h"

#include "app/HtmlEscape.h"
#include "app/TextConvert.h"

namespace tavopix {

std::string QueueItemsHtml(const std::vector<std::u16string>& paths) {
    std::string html;
    for (const std::u16string& path : paths) {
        html += "<div .item><div .pic_bd><picture path=\"";
        html += Utf8(HtmlEscape(path));
        html += "\" /></div><div .sts><p .close /><p .txt_wait>等待中</p></div></div>";
    }
    return html;
}

std::string_view StatusHtml(UploadItemStatus status) {
    switch (status) {
        case UploadItemStatus::Waiting:
            return "<p .close /><p .txt_wait>等待中</p>";
        case UploadItemStatus::Uploading:
            return "<p .close /><p .txt_uping>上传中</p>";
        case UploadItemStatus::Error:
            return "<p .close /><p .txt_error>错误</p>";
        case UploadItemStatus::Timeout:
            return "<p .close /><p .txt_timeout>超时</p>";
        case UploadItemStatus::Reconnecting:
            return "<p .close /><p .txt_uping .txt_reconnect>重新连接</p>";
    }
    return {};
}

std::string DoneItemHtml(std::u16string_view thumbnail, std::u16string_view url, DoneNote note) {
    const bool present = note == DoneNote::AlreadyInAlbum;
    return std::string(present ? "<div .item title=\"已在相册中\">" : "<div .item>") +
           "<div .pic_bd><picture src=\"" + Utf8(HtmlEscape(thumbnail)) + "\" />" +
           (present ? "<p .txt_note>已在相册中</p>" : "") + "</div><a href=\"#\" url=\"" +
           Utf8(HtmlEscape(url)) + "\" .txt_link>复制链接</a></div>";
}

}  // namespace tavopix
