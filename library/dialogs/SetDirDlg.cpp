#include "library/dialogs/SetDirDlg.h"

#include "app/AppContext.h"
#include "app/HtmlEscape.h"
#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "engine/Element.h"
#include "engine/controls/Control.h"
#include "library/LibraryMessages.h"
#include "library/data/FolderEntry.h"
#include "library/data/FolderList.h"
#include "library/views/SelectTreeBehavior.h"
#include "platform/MessageQueue.h"
#include "platform/OwnedRecord.h"
#include "ui/MsgBox.h"
#include "ui/PageHost.h"

namespace tavopix {
namespace {

constexpr int kDialogSide = 460;
constexpr std::uint32_t kTypeBits[] = {kTypeJpeg, kTypeGif, kTypePng, kTypeBmp};
constexpr std::uint32_t kSizeBits[] = {kSizeSmall, kSizeMiddle, kSizeLarge};

struct TopLevelKind {
    std::u16string_view token;
    std::u16string_view caption;
};
constexpr TopLevelKind kTopLevelKinds[] = {
    {kDesktopToken, u"桌面"},
    {kMyPicturesToken, u"图片收藏"},
    {kMyDocumentsToken, u"我的文档"},
};

std::u16string_view CheckOf(const Element& node) {
    const std::u16string* check = node.GetAttribute("check");
    return check != nullptr ? std::u16string_view(*check) : std::u16string_view(u"off");
}

bool IsNode(const Element& element) {
    return element.Tag() == "options" || element.Tag() == "option";
}

// The last folder name of a stored path below a root: the text between the separator (or a
// token's closing "%") before the final separator and that separator.
std::u16string LastName(std::u16string_view path) {
    if (path.size() <= 1) {
        return std::u16string();
    }
    const std::u16string_view body = path.substr(0, path.size() - 1);
    const std::size_t cut = body.find_last_of(u"/%");
    return std::u16string(cut == std::u16string_view::npos ? body : body.substr(cut + 1));
}

}  // namespace

CSetDirDlg::CSetDirDlg(FolderList& folders, HWND owner) : CHskFrame(owner), folders_(folders) {
    skinPage = appContext.programDir + u"skin/setDirDlg.htm";
    title = u"设置目录";
    flags = HSK_CLOSE | HSK_MIN;
    width = kDialogSide;
    height = kDialogSide;
}

CSetDirDlg::~CSetDirDlg() {
    StopWorker();
}

EventHandler* CSetDirDlg::OnAttachBehavior(std::string_view name) {
    if (name == "bhv_select_tree") {
        return &SelectTreeBehavior::Instance();
    }
    return CHskFrame::OnAttachBehavior(name);
}

int CSetDirDlg::Create() {
    if (const int error = CHskFrame::Create(); error != 0) {
        return error;
    }
    worker_ = std::make_unique<FolderEnumerator>(hwnd);
    BindControls();
    // The file is the reference: changes an earlier, failed OK left in memory are dropped.
    folders_.Load();
    if (LoadPictureFilter(appContext.programDir + std::u16string(kPictureFilterFileName),
                          filter_)) {
        ShowFilter();
    }
    if (tree_) {
        StartWorker(*tree_, std::u16string());
    }
    return 0;
}

void CSetDirDlg::BindControls() {
    Element* root = Page()->Root();
    const auto bind = [root](std::u16string_view id) { return ElementRef(root->FindById(id)); };
    ok_ = bind(u"btn_ok");
    cancel_ = bind(u"btn_cancel");
    tree_ = bind(u"ele_tree_path");
    typeAll_ = bind(u"tp_all");
    types_ = {bind(u"tp_jpg"), bind(u"tp_gif"), bind(u"tp_png"), bind(u"tp_bmp")};
    sizeAll_ = bind(u"sz_all");
    sizes_ = {bind(u"sz_small"), bind(u"sz_middle"), bind(u"sz_large")};
    ageFilter_ = bind(u"tm_filter");
    dayCount_ = bind(u"tm_day");
}

bool CSetDirDlg::Checked(const ElementRef& box) const {
    return box && box->HasState(STATE_CHECKED);
}

namespace {

void SetChecked(const ElementRef& box, bool checked) {
    if (box) {
        box->SetState(checked ? STATE_CHECKED : 0, checked ? 0 : STATE_CHECKED);
    }
}

}  // namespace

void CSetDirDlg::ShowFilter() {
    bool allTypes = true;
    for (std::size_t i = 0; i < types_.size(); ++i) {
        const bool on = (filter_.typeBits & kTypeBits[i]) != 0;
        SetChecked(types_[i], on);
        allTypes = allTypes && on;
    }
    SetChecked(typeAll_, allTypes);
    bool allSizes = true;
    for (std::size_t i = 0; i < sizes_.size(); ++i) {
        const bool on = (filter_.sizeBits & kSizeBits[i]) != 0;
        SetChecked(sizes_[i], on);
        allSizes = allSizes && on;
    }
    SetChecked(sizeAll_, allSizes);
    const bool age = filter_.dayCount != 0;
    if (dayCount_) {
        ControlSetValue(*dayCount_, ControlValue(FromUtf8(std::to_string(filter_.dayCount))));
        dayCount_->SetEnabled(age);
    }
    SetChecked(ageFilter_, age);
}

void CSetDirDlg::StartWorker(Element& node, std::u16string path) {
    StopWorker();
    filling_[++generation_] = ElementRef(&node);
    worker_->Start(std::move(path), generation_);
}

void CSetDirDlg::StopWorker() {
    if (worker_ && worker_->Running()) {
        worker_->Stop();
        filling_.erase(generation_);
    }
}

void CSetDirDlg::ShowWorkerState() {
    if (!tree_) {
        return;
    }
    const bool running = worker_ && worker_->Running();
    if (Element* parent = tree_->Parent()) {
        parent->SetStyleAttribute("cursor", running ? u"wait" : u"default");
    }
    tree_->SetEnabled(!running);
}

void CSetDirDlg::InsertNode(const FolderEntry& entry) {
    const auto target = filling_.find(entry.generation);
    if (target == filling_.end() || !target->second) {
        return;
    }
    Element& parent = *target->second;
    const std::u16string path = HtmlEscape(entry.path);
    std::u16string html;
    if (entry.topLevel) {
        std::u16string kind;
        std::u16string caption;
        if (entry.path.empty() || entry.path.front() != u'%') {
            kind = kDiskKind;
            caption = entry.path;
        } else {
            for (const TopLevelKind& top : kTopLevelKinds) {
                if (entry.path.starts_with(top.token)) {
                    kind = top.token;
                    caption = top.caption;
                    break;
                }
            }
            if (kind.empty()) {
                return;
            }
        }
        const std::u16string check(folders_.CheckAttributeFor(entry.path));
        html = (entry.hasSubfolders ? u"<options collapsed " : u"<option ") + check + u" tp=\"" +
               HtmlEscape(kind) + u"\" path=\"" + path + u"\"><caption>" + HtmlEscape(caption) +
               (entry.hasSubfolders ? u"</caption></options>" : u"</caption></option>");
    } else {
        const std::u16string caption = LastName(entry.path);
        if (caption.empty()) {
            return;
        }
        const std::u16string_view parentCheck = CheckOf(parent);
        std::u16string check;
        if (parentCheck == u"off") {
            check = kCheckOff;
        } else if (parentCheck == u"on") {
            check = kCheckOn;
        } else {
            check = folders_.CheckAttributeFor(entry.path);
        }
        html = (entry.hasSubfolders ? u"<options collapsed " : u"<option ") + check + u" path=\"" +
               path + u"\"><caption>" + HtmlEscape(caption) +
               (entry.hasSubfolders ? u"</caption></options>" : u"</caption></option>");
    }
    static_cast<void>(parent.SetHtml(html, SIH_APPEND_AFTER_LAST));
}

void CSetDirDlg::FilterBoxChanged(const Element& box) {
    if (&box == typeAll_.get()) {
        for (const ElementRef& type : types_) {
            SetChecked(type, Checked(typeAll_));
        }
    } else if (&box == sizeAll_.get()) {
        for (const ElementRef& size : sizes_) {
            SetChecked(size, Checked(sizeAll_));
        }
    } else if (&box == ageFilter_.get()) {
        if (dayCount_) {
            dayCount_->SetEnabled(Checked(ageFilter_));
        }
    } else {
        bool allTypes = true;
        for (const ElementRef& type : types_) {
            allTypes = allTypes && Checked(type);
        }
        bool allSizes = true;
        for (const ElementRef& size : sizes_) {
            allSizes = allSizes && Checked(size);
        }
        SetChecked(typeAll_, allTypes);
        SetChecked(sizeAll_, allSizes);
    }
}

bool CSetDirDlg::WalkTree(const Element& parent) {
    for (std::size_t i = 0; i < parent.ChildCount(); ++i) {
        const Element& child = *parent.Child(i);
        if (!IsNode(child)) {
            continue;
        }
        const std::u16string* path = child.GetAttribute("path");
        if (path == nullptr) {
            return false;
        }
        const std::u16string_view check = CheckOf(child);
        if (check == u"on") {
            if (!folders_.Include(*path)) {
                return false;
            }
        } else if (check == u"mixed" && child.Tag() == "options") {
            if (!WalkTree(child)) {
                return false;
            }
        } else if (!folders_.Exclude(*path)) {
            return false;
        }
    }
    return true;
}

void CSetDirDlg::Fail(std::u16string_view text) {
    HskMessageBox(text, u"", MB_HSK_OK, hwnd);
}

void CSetDirDlg::Confirm() {
    if (!tree_ || !WalkTree(*tree_)) {
        Fail(u"获取目录失败!");
        return;
    }
    if (folders_.empty()) {
        Fail(u"未选择目录!");
    } else if (!folders_.Save()) {
        Fail(u"保存目录失败!");
        return;
    }
    PictureFilter filter{};
    for (std::size_t i = 0; i < types_.size(); ++i) {
        if (Checked(types_[i])) {
            filter.typeBits |= kTypeBits[i];
        }
    }
    if (filter.typeBits == 0) {
        Fail(u"请至少选择一种图片格式!");
        return;
    }
    for (std::size_t i = 0; i < sizes_.size(); ++i) {
        if (Checked(sizes_[i])) {
            filter.sizeBits |= kSizeBits[i];
        }
    }
    if (filter.sizeBits == 0) {
        Fail(u"请至少选择一种图片大小!");
        return;
    }
    if (Checked(ageFilter_) && dayCount_) {
        ControlValue value;
        static_cast<void>(ControlGetValue(*dayCount_, &value));
        // Text that is no number, and a negative count (which would let every file pass as
        // a huge unsigned count), mean no age filter.
        const std::optional<int> days = ParseInt(value.ToString());
        filter.dayCount = days && *days > 0 ? static_cast<std::uint32_t>(*days) : 0;
    }
    if (!SavePictureFilter(appContext.programDir + std::u16string(kPictureFilterFileName),
                           filter)) {
        Fail(u"保存配置信息错误!");
        return;
    }
    filter_ = filter;
    resultCode = FRAME_RESULT_OK;
    PostMessage(hwnd, WM_CLOSE, 0, 0);
}

LRESULT CSetDirDlg::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    bool& handled) {
    const LRESULT result = CHskFrame::OnWindowMessage(window, message, wParam, lParam, handled);
    if (handled) {
        return result;
    }
    switch (message) {
        case WM_FOLDER_FOUND: {
            const std::unique_ptr<FolderEntry> entry = TakeOwned<FolderEntry>(wParam);
            InsertNode(*entry);
            handled = true;
            return 0;
        }
        case WM_ENUMERATION_STATE:
            // Every entry of a run is queued before its end message.
            if (wParam != 0) {
                filling_.erase(static_cast<unsigned>(wParam));
            }
            ShowWorkerState();
            handled = true;
            return 0;
        case WM_CLOSE:
            StopWorker();
            return 0;
        default:
            return result;
    }
}

bool CSetDirDlg::OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                                 std::uintptr_t reason) {
    if (CHskFrame::OnBehaviorEvent(element, target, code, reason)) {
        return true;
    }
    if (target == nullptr) {
        return false;
    }
    if (code == BUTTON_CLICK) {
        if (target == ok_.get()) {
            Confirm();
            return true;
        }
        if (target == cancel_.get()) {
            resultCode = FRAME_RESULT_CLOSED;
            PostMessage(hwnd, WM_CLOSE, 0, 0);
            return true;
        }
        return false;
    }
    if (code == BUTTON_STATE_CHANGED) {
        FilterBoxChanged(*target);
        return true;
    }
    if (code == SELECT_STATE_CHANGED && IsNode(*target) && target->HasState(STATE_EXPANDED) &&
        tree_ && tree_->Contains(*target)) {
        bool filled = false;
        for (std::size_t i = 0; i < target->ChildCount() && !filled; ++i) {
            filled = IsNode(*target->Child(i));
        }
        const std::u16string* path = target->GetAttribute("path");
        if (!filled && path != nullptr) {
            StartWorker(*target, *path);
        }
        return true;
    }
    return false;
}

}  // namespace tavopix
