// CUploadDlg: the modal window in which pictures are uploaded to one album. Its page
// ("skin/UploadDlg.htm") shows the queue of pictures still to send ("task_list"), the uploaded
// ones with a link that copies each one's address ("done_list"), a progress bar, a status line
// with the speed, pause / continue / complete buttons and a box that closes the window by itself
// once everything is uploaded.
//
// The queue lives only in the page: one item per picture, its status the class of a paragraph
// in it. Pictures are sent one at a time, in queue order: preparation threads fit or convert
// the picture (UploadFilePreparer.h) and the next two beside it, so both processors work while
// one picture is sent (one preparation at a time while the queue's thumbnails are being made,
// which the pictures wait for); the SDK sends it, its reply becomes the item's result, and every
// picture the service acknowledged is added to the registry. A picture made ready ahead stays
// 等待中 until its turn. Beside that the queue's thumbnail pass (QueueThumbnails.h) makes the
// thumbnails of the rows in view; a picture is made ready only once its thumbnail is made (when
// it is in view), so one that cannot be read is shown as an error and never sent. Scrolling
// only remakes thumbnails: it never restarts the upload that is running.
//
// Beyond that, the run is kept and checked by content. Before the first pass the dialog asks
// the service which of the chosen pictures the album holds already (AlbumContentCheck.h) and
// offers to skip them (the default) or to upload them again; every picture is sent with the
// content hash of its original, so one the album holds is answered with the picture there and
// shown as done with the note 已在相册中. The pictures not yet acknowledged are kept in
// "pendingUpload.dat" as the pass goes (PendingUploadFile.h), and closing the window while
// some remain asks first. A picture sent in pieces whose connection breaks shows 重新连接
// with the speed at 0 while the SDK waits for the service and goes on by itself.
//
// Use (UI thread):
//     CUploadDlg dialog(registry, albumId, keepFullSize, paths, mainWindow);
//     if (dialog.Run(SW_SHOWNORMAL) == FRAME_RESULT_OK) { registry.Save(Write::On); ... }
// Run returns 1 when the registry holds at least one entry as the window closes (also entries
// from earlier runs), 2 otherwise, 3 when the page could not be loaded. The registry and the
// path list must outlive the run; the dialog only reads the list, once. Closing the window,
// however it happens, stops the upload and every thread before the window goes.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine/ElementRef.h"
#include "library/data/UploadedRegistry.h"
#include "sdk/OvkSdk.h"
#include "ui/HskFrame.h"
#include "upload/AlbumContentCheck.h"
#include "upload/PendingUploadFile.h"
#include "upload/QueueThumbnails.h"
#include "upload/SpeedMeter.h"
#include "upload/UploadFilePreparer.h"
#include "upload/UploadQueueHtml.h"

namespace tavopix {

struct PreparedUpload;

class CUploadDlg : public CHskFrame {
public:
    // `fullSize` nonzero sends pictures at full size (JPEGs as they are, others converted);
    // zero fits them into 1600 x 1600.
    CUploadDlg(UploadedRegistry& registry, std::u16string album, int fullSize,
               const std::vector<std::u16string>& pathList, HWND owner);
    ~CUploadDlg() override;

    int Create() override;
    LRESULT OnWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override;
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason) override;
    bool OnMouse(Element& he, MouseParams& params) override;
    EventHandler* OnAttachBehavior(std::string_view name) override;

private:
    // ---- The run --------------------------------------------------------------------------
    void BeginRun();
    bool StartNextUpload();
    bool BeginUpload(const std::u16string& file, const std::u16string& pictureTitle,
                     std::uint32_t& error);
    void OnFileReady(std::unique_ptr<PreparedUpload> prepared);
    // Sends the picture of the first stage, whose file is ready.
    void SendPrepared();
    void OnUploadProgress(WPARAM event);
    void OnUploadResult(WPARAM event);
    void EndOfPass();
    // Stops the send or preparation of the picture being sent; the pictures made ready ahead
    // stay.
    void CancelUpload();
    // Forgets every preparation, those under way included.
    void DropPreparations();
    // Applies the sent picture's success when it is queued already (before a stop).
    void ApplyQueuedSuccess();
    void PauseUpload();
    void ContinueUpload();
    // After an answered upload: the thumbnails go on (or start again) and the next picture
    // is sent.
    void GoOn();
    // Starts the next upload unless the run is paused, over, or sending already.
    void StartNextUploadWhenIdle();
    // The attempt on the picture being sent has ended; the pass goes on behind it.
    void EndAttempt();
    static void UploadCallback(void* context, std::uint32_t event, std::uint64_t value);

    // ---- Preparation ahead ----------------------------------------------------------------
    // Starts the preparation of `item` in a free lane, as a stage placed at the front or at
    // the back. False when no thread could be made.
    bool StartStage(Element& item, std::u16string path, bool atFront);
    // Makes the pictures after the one being sent ready, while lanes are free; it stops at the
    // first one whose thumbnail is still to be made.
    void PrepareAhead();
    void DropStage(const Element& item);
    bool HasStage(const Element& item) const;

    // ---- Thumbnails -----------------------------------------------------------------------
    void RefreshThumbnails();
    void OnThumbReady();

    // ---- The queue in the page ------------------------------------------------------------
    void MarkItem(Element& item, UploadItemStatus status, std::u16string_view title);
    void MarkItemWaiting(Element& item);
    void MarkItemUploading(Element& item);
    void MarkItemError(Element& item, std::u16string_view message);
    void MarkItemTimeout(Element& item);
    void RemoveTaskItem(Element& item);
    unsigned TaskCount() const;
    unsigned DoneCount() const;
    int Percentage() const;
    // Percentage() with the sent part of the picture being sent added.
    int SendingPercentage() const;
    bool HasWaitingOrTimedOut() const;
    void ShowCounts();
    void ShowButton(const ElementRef& button, bool shown);
    void SetStatusLine(std::u16string_view text);
    void SetProgress(int percent);
    void ShowUploading(int percent);
    std::u16string HomePage() const;

    // ---- Content and the kept queue -------------------------------------------------------
    void OnContentChecked(const AlbumContent& content);
    // Moves a task item to the done list as acknowledged by the service.
    void MoveToDone(Element& item, std::u16string_view url, DoneNote note);
    // Records an acknowledged picture in the registry, by path and by content.
    void RecordUploaded(const std::u16string& path, const std::u16string& contentHash);
    // Rewrites the kept queue with the pictures still in "task_list".
    void KeepQueue();
    // Pictures that would still be sent: waiting, timed out or being sent.
    unsigned UnsentCount() const;
    // True when the window may close: nothing is left to send, or the user says so.
    bool ConfirmClose();

    // ---- Window ---------------------------------------------------------------------------
    void OnClose();
    void CopyLink(const Element& link);

    UploadedRegistry& registry_;
    const std::vector<std::u16string>& pathList_;
    std::u16string albumId;
    int keepFullSize;

    // The upload (UI thread, except where said).
    OvkHandle uploadHandle = 0;
    int currentIndex = 0;
    std::atomic<float> speedKBps{0.0F};       // written by the SDK's thread
    SpeedMeter speedMeter;                    // the SDK's thread only
    std::uint64_t bytesToSend = 0;            // the length of the file being sent
    std::atomic<std::uint64_t> bytesSent{0};  // of it; written by the SDK's thread
    bool paused = false;
    bool finished = false;
    ElementRef uploadItem_;  // the item being prepared or sent; empty when none is
    // A picture being made ready or ready, in queue order: the one being sent first (while
    // there is one), then those made ready ahead. Each holds its lane, whose scratch file may
    // be its file, until it is sent or dropped.
    struct Stage {
        ElementRef item;
        std::uint32_t generation = 0;  // of its preparation
        int lane = 0;
        std::unique_ptr<PreparedUpload> prepared;  // once its preparation has answered
    };
    std::deque<Stage> stages_;
    std::uint32_t generation_ = 0;  // of the last preparation started
    UploadFilePreparer preparer_;
    std::u16string uploadHash_;  // content hash of the picture being sent
    AlbumContentCheck contentCheck_;
    bool checkingContent_ = false;  // no upload starts until the check has answered
    bool allowDuplicates_ = false;  // the user chose to upload again what the album holds
    PendingUploadFile pendingFile_{PendingUploadFilePath()};
    HWND window_;  // set once by Create; the other threads post to it

    QueueThumbnails thumbnails_;
    bool waitingForThumbnail_ = false;  // the next picture to send waits for its thumbnail

    ElementRef taskList_;
    ElementRef doneList_;
    ElementRef btnPause_;
    ElementRef btnCtn_;
    ElementRef btnCmpl_;
    ElementRef taskTitle_;
    ElementRef doneTitle_;
    ElementRef proUpload_;
    ElementRef infoUpload_;
    ElementRef ckClose_;
};

}  // namespace tavopix
