// The thumbnails of the upload queue's rows in view, and of two rows below them, made on a
// thread of their own. The thread asks the UI thread for each picture and hands each thumbnail
// back through a handshake of two messages (WM_UPLOAD_THUMB_REQUEST, WM_UPLOAD_THUMB_READY),
// waiting for the answer to each, so only the UI thread touches the page. A picture whose
// thumbnail the grid made already gets it from the thumbnail cache (MakeThumbnail); it is
// decoded only when the cache has none. The pass ends with WM_UPLOAD_THUMBS_DONE.
//
// Everything here runs on the UI thread except the thread's own loop.
#pragma once

#include <atomic>
#include <string>

#include "engine/ElementRef.h"
#include "platform/StoppableWorker.h"
#include "platform/WindowHandle.h"
#include "upload/UploadMessages.h"

namespace tavopix {

class Element;

class QueueThumbnails {
public:
    QueueThumbnails() = default;
    ~QueueThumbnails() { Stop(); }
    QueueThumbnails(const QueueThumbnails&) = delete;
    QueueThumbnails& operator=(const QueueThumbnails&) = delete;

    enum class Pass { Started, NoneNeeded, NoThread };
    // Stops the pass under way and starts one over the items of `taskList` in view that have no
    // thumbnail yet, posting to `window`. Nothing is posted unless it started.
    Pass Start(HWND window, Element& taskList);
    // Ends the pass under way, waits for its thread and drops the messages it left queued.
    void Stop();
    bool Running() const { return worker_.Running(); }

    // WM_UPLOAD_THUMB_REQUEST: hands the thread its next picture.
    void OnRequest();
    // WM_UPLOAD_THUMB_READY: shows the thumbnail on its item. Returns the item when its picture
    // could not be read (it got the error picture), null otherwise.
    ElementRef OnReady();
    // WM_UPLOAD_THUMBS_DONE: the thread has ended.
    void OnDone();

    // The pass under way will still make this item's thumbnail.
    bool Pending(const Element& item) const;
    // The item leaves the queue; the pass goes on with the items after it.
    void Forget(const Element& item);

private:
    // The range of items to make, in thumbFirst..thumbLast; false when none needs a thumbnail.
    bool ComputeRange(Element& taskList);
    void ThreadProc(HWND window);
    // Posts `message` and waits, on the thread, until the UI thread answered it; false on a stop.
    bool Ask(HWND window, UINT message);
    void Answer();
    bool InQueue(const ElementRef& item) const;

    ElementRef taskList_;
    // The thread's side. The UI thread touches thumbOk and the two paths only in the two
    // message handlers, while the thread waits with thumbHandshake set; the thread touches them
    // only after the UI thread has cleared it.
    int thumbFirst = 0;
    int thumbLast = 0;
    std::atomic<bool> thumbHandshake{false};
    bool thumbOk = false;
    std::u16string thumbSourcePath;
    std::u16string thumbResultPath;
    StoppableWorker worker_{WM_UPLOAD_THUMB_REQUEST, WM_UPLOAD_THUMB_READY, WM_UPLOAD_THUMBS_DONE};
    // The UI thread's side: the next item to hand out and how many are left to hand, and the
    // item whose thumbnail is being made. Kept as elements, so items that leave the queue
    // meanwhile (uploaded, or closed by the user) never shift the pass onto others.
    ElementRef thumbCursor_;
    int thumbRemaining_ = 0;
    ElementRef thumbItem_;
};

}  // namespace tavopix
