#include "service/AlbumDlg.h"

#include <vector>

#include "app/AppContext.h"
#include "app/HtmlEscape.h"
#include "app/TextConvert.h"
#include "engine/Element.h"
#include "engine/controls/Control.h"
#include "platform/LastError.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "service/AlbumListReply.h"
#include "service/JsonEscape.h"
#include "service/JsonValueOf.h"
#include "service/PostedCompletion.h"
#include "ui/DialogKeys.h"
#include "ui/MsgBox.h"
#include "ui/PageHost.h"

namespace tavopix {
namespace {

constexpr std::size_t kUserIdBytes = 132;

bool IsWhiteSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v' ||
           c == u'\u3000' || c == u'\u00A0';
}

std::u16string Trimmed(std::u16string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsWhiteSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsWhiteSpace(text[end - 1])) {
        --end;
    }
    return std::u16string(text.substr(begin, end - begin));
}

// The reply with its JSON escapes decoded, as it is shown to the user.
std::u16string Decoded(const std::u16string& text) {
    std::u16string decoded(text.size(), u'\0');
    if (text.empty() || !ovkDecodeJsonW(text.c_str(), decoded.data())) {
        return text;
    }
    decoded.resize(std::u16string_view(decoded.c_str()).size());
    return decoded;
}

std::u16string ErrorCodeDetail() {
    return u"错误码:" + FromUtf8(std::to_string(GetLastError())) + u".";
}

}  // namespace

CAlbumDlg::CAlbumDlg(HWND owner)
    : CHskFrame(owner),
      listRequest(WM_ALBUM_LIST_REPLY, &PostCompletion<WM_ALBUM_LIST_REPLY>),
      createRequest(WM_ALBUM_CREATE_REPLY, &PostCompletion<WM_ALBUM_CREATE_REPLY>) {
    skinPage = appContext.programDir + u"skin/AlbumDlg.htm";
    flags = HSK_CLOSE | HSK_MIN;
    width = 440;
    height = kListHeight;
    title = u"选择相册开始上传";
}

Element* CAlbumDlg::ById(std::u16string_view id) const {
    PageHost* page = Page();
    return page ? page->Root()->FindById(id) : nullptr;
}

int CAlbumDlg::Create() {
    if (const int error = CHskFrame::Create(); error != 0) {
        return error;
    }
    listRequest.SetWindow(hwnd);
    createRequest.SetWindow(hwnd);
    btnUpload = ElementRef(ById(u"btn_upload"));
    btnCancel = ElementRef(ById(u"btn_cancel"));
    createAlbum = ElementRef(ById(u"create_album"));
    btnCancelCreate = ElementRef(ById(u"btn_cancel_create"));
    albumList = ElementRef(ById(u"album_list"));
    tpQa = ElementRef(ById(u"tp_qa"));
    info = ElementRef(ById(u"info"));
    btnGetAlist = ElementRef(ById(u"btn_get_alist"));
    ShowStatus(Status::Fetching);
    if (!StartListRequest()) {
        ShowStatus(Status::ListFailed);
    }
    return 0;
}

bool CAlbumDlg::StartListRequest() {
    listRequest.Close();
    char16_t userId[kUserIdBytes / sizeof(char16_t)] = {};
    if (!ovkGetUserID(appContext.serviceSession, userId, sizeof userId)) {
        return false;
    }
    // The id is the service's decimal number; escaped all the same, as every value sent is.
    std::u16string id(userId);
    JsonEscape(id);
    const std::u16string first = u"{\"uid\":\"" + id + u"\"}";
    return listRequest.Prepare(OVK_API_ALBUM_LIST, first.c_str(), u"") && listRequest.Send();
}

void CAlbumDlg::ShowStatus(Status status, std::u16string_view detail) {
    std::u16string text;
    switch (status) {
        case Status::Fetching:
            text = u"正在获取相册列表,请稍候...";
            SetDisplay(u"btn_get_alist", false);
            SetDisplay(u"btn_upload", false);
            listReady = false;
            break;
        case Status::ListReady:
            SetDisplay(u"btn_get_alist", false);
            SetDisplay(u"btn_upload", true);
            listReady = true;
            break;
        case Status::ListFailed:
            text = detail.empty() ? std::u16string(u"获取相册列表失败,请重试!")
                                  : u"获取相册列表失败," + std::u16string(detail) + u",请重试!";
            SetDisplay(u"btn_get_alist", true);
            break;
        case Status::Creating:
            text = u"正在新建相册,请稍后...";
            SetDisplay(u"btn_upload", true);
            if (btnUpload) {
                btnUpload->SetState(STATE_DISABLED, 0);
            }
            break;
        case Status::CreateFailed:
            text = u"新建相册失败," + std::u16string(detail) + u",请重试!";
            SetDisplay(u"btn_upload", true);
            if (btnUpload) {
                btnUpload->SetState(0, STATE_DISABLED);
            }
            break;
    }
    if (info) {
        info->SetInnerText(text);
        const bool failed = status == Status::ListFailed || status == Status::CreateFailed;
        const bool busy = status == Status::Fetching || status == Status::Creating;
        info->SetAttribute("state", failed ? u"error" : busy ? u"busy" : u"");
    }
}

bool CAlbumDlg::OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                                std::uintptr_t reason) {
    if (CHskFrame::OnBehaviorEvent(element, target, code, reason)) {
        return true;
    }
    if (code == BUTTON_STATE_CHANGED) {
        const bool checked = tpQa && tpQa->HasState(STATE_CHECKED);
        if (checked != questionShown) {
            questionShown = checked;
            if (createView) {
                ShowCreateView();
            }
        }
        return false;
    }
    if (code != BUTTON_CLICK || target == nullptr) {
        return false;
    }
    if (target == createAlbum.get()) {
        ShowCreateView();
    } else if (target == btnCancelCreate.get()) {
        ShowListView();
    } else if (target == btnUpload.get()) {
        if (createView) {
            CreateAlbum();
        } else {
            Element* caption = albumList ? albumList->FindFirst("caption") : nullptr;
            const std::u16string* aid = caption ? caption->GetAttribute("aid") : nullptr;
            ChooseAndClose(aid ? *aid : std::u16string());
        }
    } else if (target == btnGetAlist.get()) {
        ShowStatus(Status::Fetching);
        if (!StartListRequest()) {
            ShowStatus(Status::ListFailed);
        }
    } else if (target == btnCancel.get()) {
        resultCode = FRAME_RESULT_CLOSED;
        PostMessage(hwnd, WM_CLOSE, 0, 0);
    } else {
        return false;
    }
    return true;
}

bool CAlbumDlg::OnKey(Element&, KeyParams& params) {
    return HandleDialogKey(params, btnUpload.get(),
                           createView ? btnCancelCreate.get() : btnCancel.get());
}

void CAlbumDlg::ChooseAndClose(std::u16string id) {
    albumId = std::move(id);
    fullSize = IsChecked(u"size_raw") ? 1 : 0;
    resultCode = FRAME_RESULT_OK;
    PostMessage(hwnd, WM_CLOSE, 0, 0);
}

void CAlbumDlg::CreateAlbum() {
    int privacy = 1;
    if (IsChecked(u"tp_all")) {
        privacy = 1;
    } else if (IsChecked(u"tp_friend")) {
        privacy = 2;
    } else if (IsChecked(u"tp_qa")) {
        privacy = 3;
    } else if (IsChecked(u"tp_private")) {
        privacy = 4;
    }
    std::u16string name = Trimmed(ValueOf(u"albname"));
    if (name.empty()) {
        HskMessageBox(u"请输入相册名", u"提示", MB_HSK_OK, nullptr);
        return;
    }
    std::u16string description = ValueOf(u"albdesc");
    JsonEscape(name);
    JsonEscape(description);
    std::u16string second = u"{\"album_name\":\"" + name + u"\",\"album_desc\":\"" + description +
                            u"\",\"album_spot\":\"\",\"allow_comment\":\"1\","
                            u"\"allow_repost\":\"1\",\"privacy_lev\":\"";
    if (privacy == 3) {
        std::u16string question = ValueOf(u"quest");
        std::u16string answer = ValueOf(u"answer");
        JsonEscape(question);
        JsonEscape(answer);
        second += u"3\",\"album_pwd_prompt\":\"" + question + u"\",\"album_pwd\":\"" + answer +
                  u"\",\"album_category_id\":\"0\"}";
    } else {
        second += FromUtf8(std::to_string(privacy)) + u"\",\"album_category_id\":\"0\"}";
    }
    if (!createRequest.Prepare(OVK_API_ALBUM_CREATE, nullptr, second.c_str())) {
        ShowStatus(Status::CreateFailed, ErrorCodeDetail());
        return;
    }
    ShowStatus(Status::Creating);
    if (!createRequest.Send()) {
        const std::u16string detail = ErrorCodeDetail();
        createRequest.Close();
        ShowStatus(Status::CreateFailed, detail);
    }
}

LRESULT CAlbumDlg::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   bool& handled) {
    const LRESULT result = CHskFrame::OnWindowMessage(window, message, wParam, lParam, handled);
    if (handled) {
        return result;
    }
    switch (message) {
        case WM_ALBUM_LIST_REPLY:
            handled = true;
            OnListReply();
            break;
        case WM_ALBUM_CREATE_REPLY:
            handled = true;
            OnCreateReply();
            break;
        case WM_CLOSE:
            listRequest.Close();
            createRequest.Close();
            break;
        default:
            break;
    }
    return 0;
}

void CAlbumDlg::OnListReply() {
    OpenApiReply reply;
    if (!listRequest.TakeReply(reply)) {
        return;
    }
    if (reply.status == 0) {
        ShowStatus(Status::ListFailed, u"无法连接到服务器!");
        return;
    }
    const std::u16string decoded = Decoded(reply.text);
    if (reply.status < 200 || reply.status > 299) {
        ShowStatus(Status::ListFailed, decoded);
        return;
    }
    FillList(reply.text, decoded);
    ShowStatus(Status::ListReady);
}

void CAlbumDlg::OnCreateReply() {
    OpenApiReply reply;
    if (!createRequest.TakeReply(reply)) {
        return;
    }
    if (reply.status == 0) {
        ShowStatus(Status::CreateFailed, u"无法连接到服务器!");
        return;
    }
    const std::u16string decoded = Decoded(reply.text);
    if (reply.status < 200 || reply.status > 299) {
        ShowStatus(Status::CreateFailed, decoded);
        return;
    }
    std::u16string id;
    if (JsonValueOf(decoded, u"\"album_id\"", 0, id) == -1) {
        ShowStatus(Status::CreateFailed, u"服务端返回数据错误");
        return;
    }
    ChooseAndClose(std::move(id));
}

void CAlbumDlg::FillList(std::u16string_view reply, std::u16string_view decoded) {
    Element* popup = albumList ? albumList->FindFirst("popup") : nullptr;
    if (popup == nullptr) {
        return;
    }
    popup->RemoveContent();
    std::u16string options;
    for (const AlbumEntry& album : ReadAlbumList(reply, decoded)) {
        options += u"<option aid=\"" + HtmlEscape(album.id) + u"\">" + HtmlEscape(album.name) +
                   u"</option>";
    }
    if (!options.empty()) {
        (void)popup->SetHtml(Utf8(options), SIH_APPEND_AFTER_LAST);
    }
    ControlSetValue(*albumList, ControlValue(0));
}

void CAlbumDlg::ShowCreateView() {
    SetDisplay(u"alblist_div", false);
    SetDisplay(u"albname_div", true);
    SetDisplay(u"albdesc_div", true);
    SetDisplay(u"prichk_div", true);
    SetDisplay(u"qa_div", questionShown);
    // The create button is this view's own, whatever became of the list.
    SetDisplay(u"btn_upload", true);
    createView = true;
    Resize(questionShown ? kCreateWithQuestionHeight : kCreateHeight);
}

void CAlbumDlg::ShowListView() {
    SetDisplay(u"albname_div", false);
    SetDisplay(u"albdesc_div", false);
    SetDisplay(u"prichk_div", false);
    SetDisplay(u"qa_div", false);
    SetDisplay(u"alblist_div", true);
    SetDisplay(u"btn_upload", listReady);
    createView = false;
    Resize(kListHeight);
}

void CAlbumDlg::Resize(int newHeight) {
    // The window stays where the user put it; only its height changes.
    RECT rect{};
    if (GetWindowRect(hwnd, &rect)) {
        x = rect.left;
        y = rect.top;
    }
    height = newHeight;
    MoveWindow(hwnd, x, y, width, height, true);
}

void CAlbumDlg::SetDisplay(std::u16string_view id, bool shown) {
    if (Element* element = ById(id)) {
        element->SetStyleAttribute("display", shown ? u"block" : u"none");
    }
}

bool CAlbumDlg::IsChecked(std::u16string_view id) const {
    Element* dialog = ById(u"album_dlg");
    Element* element = dialog ? dialog->FindById(id) : nullptr;
    if (element == nullptr) {
        element = ById(id);
    }
    return element != nullptr && element->HasState(STATE_CHECKED);
}

std::u16string CAlbumDlg::ValueOf(std::u16string_view id) const {
    Element* dialog = ById(u"album_dlg");
    Element* element = dialog ? dialog->FindById(id) : nullptr;
    ControlValue value;
    if (element == nullptr || !ControlGetValue(*element, &value)) {
        return {};
    }
    return value.ToString();
}

}  // namespace tavopix
