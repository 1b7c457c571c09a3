#include "upload/QueueThumbnails.h"

#include "engine/Element.h"
#include "library/data/ItemThumbnail.h"
#include "platform/MessageQueue.h"
#include "upload/QueueItem.h"

namespace tavopix {
namespace {

// A queue cell, for the rows in view.
constexpr int kCellWidth = 66;
constexpr int kCellHeight = 84;
// Rows below the view whose thumbnails are made ahead.
constexpr int kRowsAhead = 2;

}  // namespace

bool QueueThumbnails::ComputeRange(Element& taskList) {
    const int count = static_cast<int>(taskList.ChildCount());
    if (count < 1)
        return false;
    const ScrollInfo scroll = taskList.GetScrollInfo();
    int perRow = (scroll.viewRect.right + 1) / kCellWidth;
    if (perRow < 1)
        perRow = 1;
    const int firstRow = scroll.scrollPos.y / kCellHeight;
    const int rows = (scroll.viewRect.bottom + 1) / kCellHeight + kRowsAhead;
    thumbFirst = firstRow * perRow;
    thumbLast = thumbFirst + rows * perRow;
    if (thumbFirst >= count)
        thumbFirst = count - 1;
    if (thumbLast >= count)
        thumbLast = count - 1;
    while (thumbFirst <= thumbLast &&
           !ThumbnailOf(*taskList.Child(static_cast<std::size_t>(thumbFirst))).empty()) {
        ++thumbFirst;
    }
    return thumbFirst <= thumbLast;
}

QueueThumbnails::Pass QueueThumbnails::Start(HWND window, Element& taskList) {
    Stop();
    if (!ComputeRange(taskList))
        return Pass::NoneNeeded;
    taskList_ = ElementRef(&taskList);
    thumbCursor_ = ElementRef(taskList.Child(static_cast<std::size_t>(thumbFirst)));
    thumbRemaining_ = thumbLast - thumbFirst + 1;
    if (!worker_.Start(window, [this, window] { ThreadProc(window); })) {
        thumbCursor_.reset();
        thumbRemaining_ = 0;
        return Pass::NoThread;
    }
    return Pass::Started;
}

void QueueThumbnails::Stop() {
    // Wakes a thread waiting for an answer; it sees the stop before it reads anything the
    // answer would have handed over.
    worker_.Stop();
    thumbHandshake = false;
    thumbCursor_.reset();
    thumbRemaining_ = 0;
    thumbItem_.reset();
}

bool QueueThumbnails::Ask(HWND window, UINT message) {
    thumbHandshake = true;
    PostMessage(window, message, 0, 0);
    return worker_.WaitUntil([this] { return !thumbHandshake.load(); });
}

void QueueThumbnails::Answer() {
    thumbHandshake = false;
    worker_.Wake();
}

void QueueThumbnails::ThreadProc(HWND window) {
    for (int index = thumbFirst; index <= thumbLast; ++index) {
        if (!Ask(window, WM_UPLOAD_THUMB_REQUEST))
            return;
        if (thumbSourcePath.empty()) {
            thumbResultPath.clear();
        } else {
            PictureItem work;
            work.path = thumbSourcePath;
            thumbOk = MakeThumbnail(work);
            thumbResultPath = work.thumbnail;
        }
        if (!Ask(window, WM_UPLOAD_THUMB_READY))
            return;
    }
    worker_.Finished();
    PostMessage(window, WM_UPLOAD_THUMBS_DONE, 0, 0);
}

bool QueueThumbnails::InQueue(const ElementRef& item) const {
    return item && item->Parent() == taskList_.get();
}

void QueueThumbnails::OnRequest() {
    thumbSourcePath.clear();
    thumbItem_.reset();
    if (thumbRemaining_ > 0 && InQueue(thumbCursor_)) {
        Element* item = thumbCursor_.get();
        thumbCursor_ = ElementRef(item->NextSibling());
        --thumbRemaining_;
        // A picture that has its thumbnail already is not made again.
        if (ThumbnailOf(*item).empty()) {
            thumbSourcePath = PicturePath(*item);
            thumbItem_ = ElementRef(item);
        }
    }
    Answer();
}

ElementRef QueueThumbnails::OnReady() {
    ElementRef failed;
    const ElementRef item = std::move(thumbItem_);
    thumbItem_.reset();
    if (InQueue(item) && !thumbSourcePath.empty()) {
        if (Element* picture = PictureOf(*item))
            picture->SetAttribute("src", thumbResultPath);
        if (!thumbOk)
            failed = item;
    }
    Answer();
    return failed;
}

void QueueThumbnails::OnDone() {
    worker_.Stop();
}

bool QueueThumbnails::Pending(const Element& item) const {
    if (!worker_.Running() || !ThumbnailOf(item).empty())
        return false;
    if (thumbItem_ == &item)
        return true;
    if (!InQueue(thumbCursor_))
        return false;
    const int ahead = item.Index() - thumbCursor_->Index();
    return ahead >= 0 && ahead < thumbRemaining_;
}

void QueueThumbnails::Forget(const Element& item) {
    if (thumbCursor_ == &item)
        thumbCursor_ = ElementRef(item.NextSibling());
    if (thumbItem_ == &item)
        thumbItem_.reset();
}

}  // namespace tavopix
