#include "library/views/DetailViewer.h"

#include <cstdio>

#include "app/AppContext.h"
#include "app/FileTimeText.h"
#include "app/HtmlEscape.h"
#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "app/UserDataFiles.h"
#include "image/FileNameRules.h"
#include "image/JpegExport.h"
#include "image/PictureDetails.h"
#include "library/views/GridCell.h"
#include "library/views/GridEvents.h"
#include "library/views/ImgDetailBehavior.h"
#include "platform/MessageQueue.h"

namespace tavopix {

namespace {

constexpr std::u16string_view kHiddenLeft = u"-10px";
constexpr int kHintWidth = 225;
constexpr int kHintHeight = 34;

std::u16string Px(int value) {
    return FromUtf8(std::to_string(value) + "px");
}

}  // namespace

DetailFit FitDetail(int w, int h, int aw, int ah) {
    DetailFit fit;
    if (w < 1 || h < 1 || aw < 1 || ah < 1) {
        return fit;
    }
    if (static_cast<double>(h) / ah < static_cast<double>(w) / aw) {
        fit.width = aw;
        fit.height = static_cast<int>(static_cast<std::int64_t>(h) * aw / w);
    } else {
        fit.height = ah;
        fit.width = static_cast<int>(static_cast<std::int64_t>(w) * ah / h);
    }
    fit.left = (aw - fit.width) / 2 + 20;
    fit.top = (ah - fit.height) / 2 + 15;
    return fit;
}

DetailFit CentreDetail(int w, int h, int aw, int ah) {
    if (w > aw || h > ah) {
        return FitDetail(w, h, aw, ah);
    }
    return DetailFit{w, h, (aw - w) / 2 + 20, (ah - h) / 2 + 15};
}

std::u16string DetailFacts(int width, int height, std::uint32_t length,
                           std::uint64_t lastWriteTime) {
    std::u16string time;
    FormatFileTime(lastWriteTime, time);
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "%dx%d", width, height);
    char kb[32];
    std::snprintf(kb, sizeof kb, "%0.1fKB", length / 1024.0);
    return u"尺寸： " + FromUtf8(numbers) + u"， 文件长度： " + FromUtf8(kb) + u"， 修改时间： " +
           time;
}

DetailViewer::DetailViewer(Element& root, HWND window, const PictureVersions& versions)
    : root_(root), window_(window), versions_(versions) {}

Element* DetailViewer::Find(std::u16string_view id) const {
    return root_.FindById(id);
}

std::size_t DetailViewer::CellCount() const {
    Element* grid = Find(u"photo_list");
    return grid ? grid->ChildCount() : 0;
}

bool DetailViewer::IsShown() const {
    Element* viewer = Find(u"img_detail");
    if (viewer == nullptr) {
        return false;
    }
    const std::u16string* left = viewer->GetStyleAttribute("left");
    return left == nullptr || *left != kHiddenLeft;
}

bool DetailViewer::Open(std::size_t index) {
    const int previous = index_;
    index_ = static_cast<int>(index);
    if (!ShowCell(index)) {
        index_ = previous;
        return false;
    }
    LayOut();
    return true;
}

bool DetailViewer::ShowCell(std::size_t index) {
    Element* grid = Find(u"photo_list");
    Element* viewer = Find(u"img_detail");
    Element* cell = grid ? grid->Child(index) : nullptr;
    const std::u16string* path = cell ? cell->GetAttribute("path") : nullptr;
    if (viewer == nullptr || path == nullptr) {
        return false;
    }
    PictureDetails details;
    details.realPath = ExpandPath(*path);
    if (details.realPath.empty() || !ReadPictureDetails(details)) {
        return false;
    }
    const bool decoded = details.width >= 1 && details.height >= 1;
    errorPicture_ = !decoded;
    viewer->SetAttribute("w", decoded ? FromUtf8(std::to_string(details.width)) : u"160");
    viewer->SetAttribute("h", decoded ? FromUtf8(std::to_string(details.height)) : u"115");
    if (Element* name = viewer->FindFirst("#tt_filename")) {
        name->SetInnerText(details.name);
    }
    if (Element* facts = viewer->FindFirst("#tt_imginfo")) {
        facts->SetInnerText(
            DetailFacts(details.width, details.height, details.size, details.lastWriteTime));
    }
    std::u16string source;
    if (!decoded) {
        source = appContext.errorImagePath;
    } else if (LowerTail(details.realPath, 4) == u".bmp") {
        const std::u16string scratch = appContext.iconCacheDir + std::u16string(kBmpScratchName);
        if (ConvertToJpeg(details.realPath, scratch)) {
            source = scratch;
            PercentEscape(source);
            // Every conversion rewrites the same file: a new address makes the browser fetch it.
            source = ThumbnailSource(source, ++bmpVersion_);
        }
    } else {
        source = details.realPath;
        PercentEscape(source);
        source = ThumbnailSource(source, versions_.Of(*path));
    }
    if (Element* border = viewer->FindById(u"dtl_img_border")) {
        const std::string html =
            R"(<picture #pic src=")" + Utf8(HtmlEscape(source)) +
            R"(" style="width:100%; height:100%; foreground-repeat: stretch keep-ratio; foreground-position: 50% 50%;" />)";
        (void)border->SetHtml(html, SIH_REPLACE_CONTENT);
    }
    return true;
}

void DetailViewer::LayOut() {
    Element* area = Find(u"right_top");
    Element* viewer = Find(u"img_detail");
    if (area == nullptr || viewer == nullptr) {
        return;
    }
    const Rect box = area->Location(ROOT_RELATIVE | CONTENT_BOX);
    viewer->SetStyleAttribute("width", Px(box.Width() - 6));
    viewer->SetStyleAttribute("height", Px(box.Height() - 6));
    viewer->SetStyleAttribute("left", u"1px");
    for (const std::u16string_view id : {u"img_size", u"btn_sort"}) {
        if (Element* control = Find(id)) {
            control->SetStyleAttribute("display", u"none");
        }
    }
    const int aw = box.Width() - 40;
    const int ah = box.Height() - 65;
    const std::u16string* w = viewer->GetAttribute("w");
    const std::u16string* h = viewer->GetAttribute("h");
    const int width = w ? std::atoi(Utf8(*w).c_str()) : 0;
    const int height = h ? std::atoi(Utf8(*h).c_str()) : 0;
    // The error picture is a small drawing, not a photo: enlarged it would only blur.
    const DetailFit fit =
        errorPicture_ ? CentreDetail(width, height, aw, ah) : FitDetail(width, height, aw, ah);
    Element* border = viewer->FindById(u"dtl_img_border");
    if (border == nullptr) {
        return;
    }
    char style[128];
    std::snprintf(style, sizeof style, "width:%dpx; height:%dpx; left:%dpx; top:%dpx; ", fit.width,
                  fit.height, fit.left, fit.top);
    border->SetAttribute("style", FromUtf8(style));
    // The cursor for where the mouse is now, before it moves again.
    if (const std::optional<Point> mouse = ImgDetailBehavior::Instance().LastMouse()) {
        Element* display = viewer->FindById(u"dtl_dsp");
        const int x1 = (display ? display->Location(ROOT_RELATIVE | CONTENT_BOX).left : 0) +
                       (aw - fit.width) / 2 + 20;
        SetPictureCursor(*viewer, ThirdOf(mouse->x, x1, fit.width));
    }
}

void DetailViewer::Hide() {
    for (const std::u16string_view id : {u"img_size", u"btn_sort"}) {
        if (Element* control = Find(id)) {
            control->SetStyleAttribute("display", u"block");
        }
    }
    if (Element* viewer = Find(u"img_detail")) {
        viewer->SetStyleAttribute("width", u"1px");
        viewer->SetStyleAttribute("left", kHiddenLeft);
    }
    firstHint_ = false;
    lastHint_ = false;
}

void DetailViewer::AddHint(std::u16string_view id) {
    Element* display = Find(u"dtl_dsp");
    if (display == nullptr) {
        return;
    }
    const Rect box = display->Location(ROOT_RELATIVE | CONTENT_BOX);
    char html[128];
    std::snprintf(html, sizeof html, R"(<div #%s style="left:%dpx;top:%dpx" />)", Utf8(id).c_str(),
                  (box.Width() - kHintWidth) / 2, (box.Height() - kHintHeight) / 2);
    (void)display->SetHtml(html, SIH_APPEND_AFTER_LAST);
    SetTimer(window_, DETAIL_HINT_TIMER, kDetailHintMs);
}

void DetailViewer::ClearHints() {
    for (const std::u16string_view id : {u"dtl_first", u"dtl_last"}) {
        if (Element* hint = Find(id)) {
            hint->Detach();
        }
    }
}

void DetailViewer::Step(bool next) {
    const int count = static_cast<int>(CellCount());
    if (count == 0) {
        Hide();
        return;
    }
    if (next) {
        if (index_ < count - 1) {
            ++index_;
        } else if (!lastHint_) {
            lastHint_ = true;
            AddHint(u"dtl_last");
            return;
        } else {
            index_ = 0;
        }
    } else {
        if (index_ > 0) {
            --index_;
        } else if (!firstHint_) {
            firstHint_ = true;
            AddHint(u"dtl_first");
            return;
        } else {
            index_ = count - 1;
        }
    }
    index_ = std::min(index_, count - 1);
    MovedTo(index_);
}

void DetailViewer::JumpTo(std::size_t index) {
    const std::size_t count = CellCount();
    if (count == 0) {
        Hide();
        return;
    }
    index_ = static_cast<int>(std::min(index, count - 1));
    MovedTo(index_);
}

void DetailViewer::MovedTo(int index) {
    if (firstHint_ || lastHint_) {
        firstHint_ = false;
        lastHint_ = false;
        KillTimer(window_, DETAIL_HINT_TIMER);
        ClearHints();
    }
    if (ShowCell(static_cast<std::size_t>(index))) {
        LayOut();
    }
}

void DetailViewer::HintTimeout() {
    KillTimer(window_, DETAIL_HINT_TIMER);
    ClearHints();
}

void DetailViewer::Relayout() {
    if (IsShown()) {
        LayOut();
    } else {
        Hide();
    }
}

void DetailViewer::AfterDelete() {
    const int count = static_cast<int>(CellCount());
    if (index_ > count - 1) {
        index_ = count - 1;
    }
    if (count == 0) {
        index_ = 0;
        Hide();
        return;
    }
    if (ShowCell(static_cast<std::size_t>(index_))) {
        LayOut();
    }
}

}  // namespace tavopix
