#include "upload/UploadDlg.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/AppContext.h"
#include "app/SettingsFile.h"
#include "app/SettingsStore.h"
#include "app/TextConvert.h"
#include "engine/ControlValue.h"
#include "engine/Element.h"
#include "engine/View.h"
#include "engine/controls/Control.h"
#include "platform/FileSystem.h"
#include "platform/LastError.h"
#include "platform/MessageQueue.h"
#include "platform/OwnedRecord.h"
#include "platform/Window.h"
#include "service/JsonValueOf.h"
#include "ui/MsgBox.h"
#include "ui/PageHost.h"
#include "upload/ChoiceBox.h"
#include "upload/CommonScrollList.h"
#include "upload/QueueItem.h"
#include "upload/UploadMessages.h"

namespace tavopix {
namespace {

constexpr std::u16string_view kAutoCloseKey = u"auto_close_after_upload";
constexpr std::uint32_t kUploadTimeoutMs = 30000;
constexpr std::uint32_t kProgressIntervalMs = 200;

constexpr std::uint32_t kReplyNoAnswer = 0;
constexpr std::uint32_t kReplySpaceFull = 413;
constexpr std::uint32_t kReplyAlbumFull = 414;
constexpr std::uint32_t kReplyServerFault = 500;

std::u16string Decimal(std::int64_t value) {
    return FromUtf8(std::to_string(value));
}

std::u16string UploadingText(int percent, float speedKBps) {
    char text[96];
    std::snprintf(text, sizeof text, "正在上传, 已完成: %d%%, 速度:%0.2fKB/s.", percent,
                  static_cast<double>(speedKBps));
    return FromUtf8(text);
}

std::u16string UploadFailedText(std::uint32_t error) {
    return u"上传失败,错误码:" + Decimal(error);
}

}  // namespace

CUploadDlg::CUploadDlg(UploadedRegistry& registry, std::u16string album, int fullSize,
                       const std::vector<std::u16string>& pathList, HWND owner)
    : CHskFrame(owner),
      registry_(registry),
      pathList_(pathList),
      albumId(std::move(album)),
      keepFullSize(fullSize) {
    skinPage = appContext.programDir + u"skin/UploadDlg.htm";
    title = u"图片上传中...";
    width = 680;
    height = 480;
    flags = HSK_CLOSE | HSK_MIN;
}

CUploadDlg::~CUploadDlg() {
    // A dialog given up before its window closed still leaves nothing running behind it.
    thumbnails_.Stop();
    CancelUpload();
}

EventHandler* CUploadDlg::OnAttachBehavior(std::string_view name) {
    if (name == commonScrollList.Name())
        return &commonScrollList;
    return CHskFrame::OnAttachBehavior(name);
}

int CUploadDlg::Create() {
    if (const int error = CHskFrame::Create(); error != 0)
        return error;
    window_ = hwnd;
    Element* root = Page()->Root();
    const auto bind = [root](ElementRef& part, std::u16string_view id) {
        part = ElementRef(root->FindById(id));
    };
    bind(taskList_, u"task_list");
    bind(doneList_, u"done_list");
    bind(btnPause_, u"btn_pause");
    bind(btnCtn_, u"btn_ctn");
    bind(btnCmpl_, u"btn_cmpl");
    bind(taskTitle_, u"task_title");
    bind(doneTitle_, u"done_title");
    bind(proUpload_, u"pro_upload");
    bind(infoUpload_, u"info_upload");
    bind(ckClose_, u"ck_close");

    std::u16string autoClose;
    (void)SettingsStore::Get(SettingsFilePath(), kAutoCloseKey, autoClose);
    if (autoClose == u"true" && ckClose_)
        ckClose_->SetState(STATE_CHECKED, 0);
    PostMessage(hwnd, WM_UPLOAD_BEGIN, 0, 0);
    return 0;
}

// ---- The queue in the page ------------------------------------------------------------------

unsigned CUploadDlg::TaskCount() const {
    return taskList_ ? static_cast<unsigned>(taskList_->ChildCount()) : 0;
}

unsigned CUploadDlg::DoneCount() const {
    return doneList_ ? static_cast<unsigned>(doneList_->ChildCount()) : 0;
}

int CUploadDlg::Percentage() const {
    const unsigned tasks = TaskCount();
    const unsigned done = DoneCount();
    return tasks + done == 0 ? 0 : static_cast<int>(done * 100 / (tasks + done));
}

int CUploadDlg::SendingPercentage() const {
    const unsigned pictures = TaskCount() + DoneCount();
    if (pictures == 0 || bytesToSend == 0) {
        return Percentage();
    }
    // The picture being sent counts with the part of it that has gone: a large picture on a
    // slow link moves the bar too.
    const double part = static_cast<double>(std::min(bytesSent.load(), bytesToSend)) /
                        static_cast<double>(bytesToSend);
    return static_cast<int>((DoneCount() + part) * 100.0 / pictures);
}

bool CUploadDlg::HasWaitingOrTimedOut() const {
    return taskList_ && taskList_->FindFirst("p.txt_wait, p.txt_timeout") != nullptr;
}

void CUploadDlg::ShowCounts() {
    if (taskTitle_)
        taskTitle_->SetInnerText(u"未完成(" + Decimal(TaskCount()) + u")");
    if (doneTitle_)
        doneTitle_->SetInnerText(u"已完成(" + Decimal(DoneCount()) + u")");
}

void CUploadDlg::ShowButton(const ElementRef& button, bool shown) {
    if (button)
        button->SetStyleAttribute("display", shown ? u"block" : u"none");
}

void CUploadDlg::SetStatusLine(std::u16string_view text) {
    if (infoUpload_)
        infoUpload_->SetInnerText(text);
}

void CUploadDlg::SetProgress(int percent) {
    if (proUpload_)
        ControlSetValue(*proUpload_, ControlValue(percent));
}

void CUploadDlg::ShowUploading(int percent) {
    SetProgress(percent);
    SetStatusLine(UploadingText(percent, speedKBps.load()));
}

void CUploadDlg::MarkItem(Element& item, UploadItemStatus status, std::u16string_view text) {
    if (Element* statusBox = item.FindFirst("div.sts"))
        (void)statusBox->SetHtml(StatusHtml(status), SIH_REPLACE_CONTENT);
    item.SetAttribute("title", text);
}

void CUploadDlg::MarkItemWaiting(Element& item) {
    MarkItem(item, UploadItemStatus::Waiting, u"等待上传...");
}

void CUploadDlg::MarkItemUploading(Element& item) {
    MarkItem(item, UploadItemStatus::Uploading, u"正在上传...");
}

void CUploadDlg::MarkItemError(Element& item, std::u16string_view message) {
    MarkItem(item, UploadItemStatus::Error, message);
}

void CUploadDlg::MarkItemTimeout(Element& item) {
    MarkItem(item, UploadItemStatus::Timeout, u"网络传输超时");
}

std::u16string CUploadDlg::HomePage() const {
    char16_t* buffer = nullptr;
    std::u16string address;
    if (ovkGetAddress(OvkAddress::HomePage, &buffer) && buffer != nullptr)
        address = buffer;
    ovkReleaseBuffer(&buffer);
    return address;
}

// The user closed an item. The picture being sent keeps its place in `currentIndex` when items
// in front of it go; closing that picture itself stops its upload and the pass goes on with the
// next one.
void CUploadDlg::RemoveTaskItem(Element& item) {
    const ElementRef held(&item);
    const bool wasSending = uploadItem_ == &item;
    if (wasSending) {
        CancelUpload();
    } else {
        if (item.Index() < currentIndex)
            --currentIndex;
        DropStage(item);
    }
    thumbnails_.Forget(item);
    item.Detach();
    KeepQueue();
    ShowCounts();
    if (wasSending) {
        StartNextUploadWhenIdle();
    } else if (!uploadItem_) {
        SetProgress(Percentage());
    } else {
        PrepareAhead();
    }
}

// ---- The run --------------------------------------------------------------------------------

void CUploadDlg::BeginRun() {
    if (taskList_)
        (void)taskList_->SetHtml(QueueItemsHtml(pathList_), SIH_APPEND_AFTER_LAST);
    ShowCounts();
    ShowButton(btnPause_, true);
    KeepQueue();
    if (!pathList_.empty() && contentCheck_.Start(window_, albumId, pathList_)) {
        checkingContent_ = true;
        SetStatusLine(u"正在检查相册中已有的图片...");
    }
    RefreshThumbnails();
    StartNextUploadWhenIdle();
}

void CUploadDlg::StartNextUploadWhenIdle() {
    if (!paused && !finished && !uploadItem_ && !checkingContent_)
        StartNextUpload();
}

bool CUploadDlg::StartNextUpload() {
    if (uploadItem_)
        return true;
    if (checkingContent_)
        return false;
    waitingForThumbnail_ = false;
    const int tasks = static_cast<int>(TaskCount());
    while (currentIndex < tasks) {
        Element* item = taskList_->Child(static_cast<std::size_t>(currentIndex));
        if (!item->FindFirst("p.txt_wait, p.txt_timeout, p.txt_uping") || !PictureOf(*item)) {
            ++currentIndex;
            continue;
        }
        std::u16string path = PicturePath(*item);
        if (path.empty()) {
            MarkItemError(*item, u"文件路径为空");
            ++currentIndex;
            continue;
        }
        if (thumbnails_.Pending(*item)) {
            // It is sent once the thumbnail pass has looked at it: a picture it cannot read
            // becomes an error and is passed over.
            waitingForThumbnail_ = true;
            return false;
        }
        // Stages in front of this item were made for pictures passed over since.
        while (!stages_.empty() && stages_.front().item != item &&
               (stages_.front().item->Parent() != taskList_.get() ||
                stages_.front().item->Index() < currentIndex)) {
            stages_.pop_front();
        }
        if (!HasStage(*item) && !StartStage(*item, std::move(path), true)) {
            MarkItemError(*item, UploadFailedText(ERROR_NOT_ENOUGH_MEMORY));
            ++currentIndex;
            continue;
        }
        uploadItem_ = ElementRef(item);
        MarkItemUploading(*item);
        ShowUploading(Percentage());
        PrepareAhead();
        if (stages_.front().prepared)
            SendPrepared();
        return true;
    }
    EndOfPass();
    return false;
}

void CUploadDlg::EndAttempt() {
    if (!stages_.empty() && stages_.front().item == uploadItem_)
        stages_.pop_front();
    uploadItem_.reset();
    ++currentIndex;
}

void CUploadDlg::OnFileReady(std::unique_ptr<PreparedUpload> prepared) {
    const auto stage = std::find_if(stages_.begin(), stages_.end(), [&](const Stage& candidate) {
        return candidate.generation == prepared->generation;
    });
    if (stage == stages_.end())
        return;
    stage->prepared = std::move(prepared);
    if (stage == stages_.begin() && uploadItem_ == stage->item)
        SendPrepared();
    // A lane has finished: the next picture may start in it.
    PrepareAhead();
}

void CUploadDlg::SendPrepared() {
    const PreparedUpload& prepared = *stages_.front().prepared;
    Element& item = *uploadItem_;
    if (!prepared.ok) {
        MarkItemError(item, u"文件格式错误");
        EndAttempt();
        StartNextUploadWhenIdle();
        return;
    }
    uploadHash_ = prepared.contentHash;
    std::uint32_t error = 0;
    if (!BeginUpload(prepared.file, prepared.title, error)) {
        MarkItemError(item, UploadFailedText(error));
        EndAttempt();
        StartNextUploadWhenIdle();
    }
}

bool CUploadDlg::BeginUpload(const std::u16string& file, const std::u16string& pictureTitle,
                             std::uint32_t& error) {
    if (uploadHandle != 0) {
        ovkCloseHandle(uploadHandle);
        uploadHandle = 0;
    }
    FileAttributes attributes;
    bytesToSend = ReadFileAttributes(Utf8(file), attributes) ? attributes.size : 0;
    bytesSent = 0;
    UploadRequest request;
    request.session = appContext.serviceSession;
    request.filePath = file.c_str();
    request.albumId = albumId.c_str();
    request.title = pictureTitle.c_str();
    request.callback = &CUploadDlg::UploadCallback;
    request.progressIntervalMs = kProgressIntervalMs;
    request.context = this;
    request.contentHash = uploadHash_.empty() ? nullptr : uploadHash_.c_str();
    request.flags = allowDuplicates_ ? OVK_UPLOAD_ALLOW_DUPLICATE : 0;
    uploadHandle = ovkImgUploadCreate(&request);
    if (uploadHandle == 0) {
        error = GetLastError();
        return false;
    }
    if (!ovkImgUploadStart(uploadHandle, kUploadTimeoutMs)) {
        error = GetLastError();
        ovkCloseHandle(uploadHandle);
        uploadHandle = 0;
        return false;
    }
    return true;
}

void CUploadDlg::UploadCallback(void* context, std::uint32_t event, std::uint64_t value) {
    const std::uint32_t lastError = GetLastError();
    auto* dialog = static_cast<CUploadDlg*>(context);
    switch (event) {
        case OVK_EVENT_FAILED:
        case OVK_EVENT_SUCCEEDED:
            dialog->speedMeter.AddSample(value);
            dialog->speedKBps = dialog->speedMeter.Rate();
            PostMessage(dialog->window_, WM_UPLOAD_RESULT, event, lastError);
            break;
        case OVK_EVENT_PROGRESS:
            dialog->bytesSent = value;
            dialog->speedMeter.AddSample(value);
            dialog->speedKBps = dialog->speedMeter.Rate();
            PostMessage(dialog->window_, WM_UPLOAD_PROGRESS, event, lastError);
            break;
        case OVK_EVENT_BEGIN:
            dialog->speedMeter.Reset();
            break;
        case OVK_EVENT_WAITING:
            // Nothing moves while the connection is down: the speed reads 0 until it does.
            dialog->speedMeter.Restart(value);
            dialog->speedKBps = 0.0F;
            PostMessage(dialog->window_, WM_UPLOAD_PROGRESS, event, lastError);
            break;
        default:
            break;
    }
}

void CUploadDlg::OnUploadProgress(WPARAM event) {
    if (uploadItem_) {
        const bool reconnecting = uploadItem_->FindFirst("p.txt_reconnect") != nullptr;
        if (event == OVK_EVENT_WAITING && !reconnecting) {
            MarkItem(*uploadItem_, UploadItemStatus::Reconnecting, u"连接中断,正在重新连接...");
        } else if (event != OVK_EVENT_WAITING && reconnecting) {
            MarkItemUploading(*uploadItem_);
        }
    }
    ShowUploading(SendingPercentage());
}

void CUploadDlg::OnUploadResult(WPARAM event) {
    if (!uploadItem_)
        return;
    const ElementRef item = uploadItem_;
    const bool success = event == OVK_EVENT_SUCCEEDED;
    char16_t* buffer = nullptr;
    std::uint32_t status = kReplyNoAnswer;
    std::u16string reply;
    if (ovkImgUploadInfo(uploadHandle, 0, &buffer, success ? nullptr : &status)) {
        ovkDecodeJsonW(buffer, buffer);
        reply = buffer;
    }
    ovkReleaseBuffer(&buffer);

    if (success) {
        RecordUploaded(PicturePath(*item), uploadHash_);
        std::u16string url;
        JsonValueOf(reply, u"\"file_url\"", 0, url);
        std::u16string duplicate;
        JsonValueOf(reply, u"\"duplicate\"", 0, duplicate);
        if (doneList_) {
            (void)doneList_->SetHtml(
                DoneItemHtml(ThumbnailOf(*item), url,
                             duplicate == u"true" ? DoneNote::AlreadyInAlbum : DoneNote::None),
                SIH_INSERT_AT_START);
        }
        // The next item moves up to `currentIndex`.
        uploadItem_.reset();
        RemoveTaskItem(*item);
        if (HasWaitingOrTimedOut()) {
            GoOn();
        } else {
            EndOfPass();
        }
        return;
    }

    EndAttempt();
    std::u16string message;
    if (status == kReplyNoAnswer) {
        MarkItemTimeout(*item);
    } else if (status == kReplyServerFault) {
        MarkItemError(*item, u"相册服务器异常,请访问" + HomePage());
    } else {
        JsonValueOf(reply, u"\"msg\"", 0, message);
        MarkItemError(*item, message);
    }
    if (status == kReplyAlbumFull || status == kReplySpaceFull) {
        SetStatusLine(status == kReplyAlbumFull
                          ? std::u16string(u"相册中图片数量达到上限,请选择或新建其他相册继续上传")
                          : u"相册空间已满,请升级您的相册,更多信息敬请访问 " + HomePage());
        ShowButton(btnCtn_, false);
        ShowButton(btnPause_, false);
        finished = true;
        // Nothing more is sent: the pictures made ready ahead are not announced after this.
        preparer_.Stop();
        DropPreparations();
        return;
    }
    GoOn();
}

void CUploadDlg::GoOn() {
    if (!thumbnails_.Running())
        RefreshThumbnails();
    StartNextUploadWhenIdle();
}

void CUploadDlg::EndOfPass() {
    const int percent = Percentage();
    if (HasWaitingOrTimedOut()) {
        SetProgress(percent);
        SetStatusLine(u"上传停止,部分图片未上传或上传超时. 请按继续按钮重传");
        ShowButton(btnCtn_, true);
        ShowButton(btnPause_, false);
        return;
    }
    const bool allDone = TaskCount() == 0;
    SetProgress(allDone ? 100 : percent);
    SetStatusLine(allDone ? u"所有图片已上传成功"
                          : u"上传完成,部分图片上传失败. 查看错误信息,请将鼠标停于相应的图标上");
    ShowButton(btnCtn_, false);
    ShowButton(btnPause_, false);
    finished = true;
    if (allDone && ckClose_ && ckClose_->HasState(STATE_CHECKED)) {
        resultCode = FRAME_RESULT_OK;
        PostMessage(hwnd, WM_CLOSE, 0, 0);
    }
}

void CUploadDlg::CancelUpload() {
    if (uploadHandle != 0) {
        ovkCloseHandle(uploadHandle);
        uploadHandle = 0;
    }
    // A preparation under way is forgotten: its answer no longer matches a stage.
    if (uploadItem_)
        DropStage(*uploadItem_);
    uploadItem_.reset();
    if (window_) {
        DiscardQueuedMessages(window_, WM_UPLOAD_PROGRESS, WM_UPLOAD_PROGRESS);
        DiscardQueuedMessages(window_, WM_UPLOAD_RESULT, WM_UPLOAD_RESULT);
    }
}

void CUploadDlg::DropPreparations() {
    stages_.clear();
    if (window_)
        DiscardQueuedMessages(window_, WM_UPLOAD_FILE_READY, WM_UPLOAD_FILE_READY);
}

// A picture albumd took in whole just before the pass stopped counts as sent: its result,
// already queued, is applied rather than dropped with the transfer (which would offer the
// picture again and leave it out of the registry). `paused` keeps the pass from going on.
void CUploadDlg::ApplyQueuedSuccess() {
    MSG msg;
    if (window_ && uploadItem_ &&
        PeekMessage(&msg, window_, WM_UPLOAD_RESULT, WM_UPLOAD_RESULT, PM_REMOVE) &&
        msg.wParam == OVK_EVENT_SUCCEEDED) {
        OnUploadResult(msg.wParam);
    }
}

void CUploadDlg::PauseUpload() {
    paused = true;
    ApplyQueuedSuccess();
    if (finished)
        return;  // that was the last picture
    speedKBps = 0.0F;
    const ElementRef item = uploadItem_;
    CancelUpload();
    DropPreparations();
    if (item && item->FindFirst("p.txt_uping"))
        MarkItemWaiting(*item);
    const int percent = Percentage();
    SetProgress(percent);
    SetStatusLine(u"已停止上传, 已完成: " + Decimal(percent) + u"%");
}

void CUploadDlg::ContinueUpload() {
    paused = false;
    speedKBps = 0.0F;
    currentIndex = 0;
    StartNextUpload();
}

// ---- Preparation ahead ----------------------------------------------------------------------

bool CUploadDlg::StartStage(Element& item, std::u16string path, bool atFront) {
    int lane = 0;
    while (std::any_of(stages_.begin(), stages_.end(),
                       [lane](const Stage& stage) { return stage.lane == lane; })) {
        ++lane;
    }
    if (!preparer_.Start(lane, window_, ++generation_, std::move(path), keepFullSize != 0,
                         appContext.programDir + std::u16string(kUploadScratchNames.at(
                                                     static_cast<std::size_t>(lane))))) {
        return false;
    }
    Stage stage{ElementRef(&item), generation_, lane, nullptr};
    if (atFront) {
        stages_.push_front(std::move(stage));
    } else {
        stages_.push_back(std::move(stage));
    }
    return true;
}

void CUploadDlg::PrepareAhead() {
    if (!uploadItem_ || uploadItem_->Parent() != taskList_.get())
        return;
    // While the thumbnail pass runs, the pictures wait for it: one preparation beside it rather
    // than two, so that it keeps a processor.
    const std::size_t preparations = thumbnails_.Running() ? 1 : kPreparationLanes - 1;
    const auto preparing = [this] {
        return static_cast<std::size_t>(std::count_if(
            stages_.begin(), stages_.end(), [](const Stage& stage) { return !stage.prepared; }));
    };
    for (Element* item = uploadItem_->NextSibling();
         item && stages_.size() < static_cast<std::size_t>(kPreparationLanes) &&
         preparing() < preparations;
         item = item->NextSibling()) {
        if (HasStage(*item) || !item->FindFirst("p.txt_wait, p.txt_timeout"))
            continue;
        std::u16string path = PicturePath(*item);
        if (path.empty())
            continue;
        if (thumbnails_.Pending(*item) || !StartStage(*item, std::move(path), false))
            return;
    }
}

void CUploadDlg::DropStage(const Element& item) {
    const auto stage = std::find_if(stages_.begin(), stages_.end(), [&](const Stage& candidate) {
        return candidate.item == &item;
    });
    if (stage != stages_.end())
        stages_.erase(stage);
}

bool CUploadDlg::HasStage(const Element& item) const {
    return std::any_of(stages_.begin(), stages_.end(),
                       [&](const Stage& stage) { return stage.item == &item; });
}

// ---- Thumbnails -----------------------------------------------------------------------------

// The running upload is left alone: a scroll on a slow line must not send a large picture
// again from its first byte. The thumbnails of the new rows are made beside it.
void CUploadDlg::RefreshThumbnails() {
    switch (taskList_ ? thumbnails_.Start(hwnd, *taskList_) : QueueThumbnails::Pass::NoneNeeded) {
        case QueueThumbnails::Pass::Started:
            return;
        case QueueThumbnails::Pass::NoThread:
            HskMessageBox(u"创建线程失败", u"错误", MB_HSK_OK, hwnd);
            break;
        case QueueThumbnails::Pass::NoneNeeded:
            break;
    }
    PostMessage(hwnd, WM_UPLOAD_THUMBS_DONE, 0, 0);
}

void CUploadDlg::OnThumbReady() {
    // A picture already on its way is judged by its upload instead.
    if (const ElementRef failed = thumbnails_.OnReady(); failed && uploadItem_ != failed.get())
        MarkItemError(*failed, u"图片文件扩展名或文件数据错误");
    if (uploadItem_) {
        PrepareAhead();
    } else if (waitingForThumbnail_) {
        StartNextUploadWhenIdle();
    }
}

// ---- Content and the kept queue ------------------------------------------------------------

void CUploadDlg::OnContentChecked(const AlbumContent& content) {
    checkingContent_ = false;
    std::vector<std::pair<ElementRef, const AlbumContent::Present*>> present;
    for (const AlbumContent::Present& picture : content.present) {
        for (Element* item = taskList_ ? taskList_->FirstChild() : nullptr; item;
             item = item->NextSibling()) {
            if (PicturePath(*item) == picture.path && item->FindFirst("p.txt_wait")) {
                present.emplace_back(ElementRef(item), &picture);
                break;
            }
        }
    }
    if (!present.empty()) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "所选图片中有 %zu 张已在相册中。\n跳过这些图片,还是再上传一份?",
                      present.size());
        if (AskChoice(FromUtf8(text), u"提示", {u"跳过", u"再次上传"}, hwnd) == 1) {
            allowDuplicates_ = true;
        } else {
            for (auto& [item, picture] : present) {
                if (item->Parent() != taskList_.get() || item == uploadItem_)
                    continue;
                RecordUploaded(picture->path, picture->contentHash);
                MoveToDone(*item, picture->url, DoneNote::AlreadyInAlbum);
            }
        }
    }
    if (HasWaitingOrTimedOut()) {
        StartNextUploadWhenIdle();
    } else if (!uploadItem_) {
        EndOfPass();
    }
}

void CUploadDlg::MoveToDone(Element& item, std::u16string_view url, DoneNote note) {
    if (doneList_) {
        (void)doneList_->SetHtml(DoneItemHtml(ThumbnailOf(item), url, note), SIH_INSERT_AT_START);
    }
    RemoveTaskItem(item);
}

void CUploadDlg::RecordUploaded(const std::u16string& path, const std::u16string& contentHash) {
    registry_.Add(path);
    if (!contentHash.empty())
        registry_.AddContent(path, contentHash);
}

void CUploadDlg::KeepQueue() {
    PendingUpload pending;
    pending.albumId = albumId;
    pending.keepFullSize = keepFullSize;
    for (Element* item = taskList_ ? taskList_->FirstChild() : nullptr; item;
         item = item->NextSibling()) {
        if (std::u16string path = PicturePath(*item); !path.empty())
            pending.paths.push_back(std::move(path));
    }
    (void)pendingFile_.Write(pending);
}

unsigned CUploadDlg::UnsentCount() const {
    unsigned count = 0;
    for (Element* item = taskList_ ? taskList_->FirstChild() : nullptr; item;
         item = item->NextSibling()) {
        if (item->FindFirst("p.txt_wait, p.txt_timeout, p.txt_uping"))
            ++count;
    }
    return count;
}

bool CUploadDlg::ConfirmClose() {
    const unsigned left = finished ? 0 : UnsentCount();
    if (left == 0)
        return true;
    char text[200];
    std::snprintf(
        text, sizeof text,
        "上传尚未完成,还有 %u 张图片未上传。\n关闭窗口后,下次启动时可以继续上传这些图片。", left);
    return HskMessageBox(FromUtf8(text), u"提示", MB_HSK_OK | MB_HSK_CANCEL, hwnd) ==
           static_cast<int>(MB_HSK_OK);
}

// ---- Window ---------------------------------------------------------------------------------

void CUploadDlg::OnClose() {
    KillTimer(hwnd, UPLOAD_THUMB_TIMER);
    thumbnails_.Stop();
    paused = true;
    ApplyQueuedSuccess();
    CancelUpload();
    contentCheck_.Stop();
    // What is left to send stays for the next start; a run that is over leaves nothing.
    if (finished || UnsentCount() == 0) {
        (void)pendingFile_.Remove();
    } else {
        KeepQueue();
    }
    preparer_.Stop();
    DropPreparations();
    if (registry_.Count() > 0)
        resultCode = FRAME_RESULT_OK;
}

void CUploadDlg::CopyLink(const Element& link) {
    const std::u16string url = Attribute(&link, "url");
    if (View* view = PageHost::CurrentView())
        view->CopyToClipboard(url);
}

LRESULT CUploadDlg::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    bool& handled) {
    const LRESULT result = CHskFrame::OnWindowMessage(window, message, wParam, lParam, handled);
    if (handled)
        return result;
    handled = true;
    switch (message) {
        case WM_UPLOAD_BEGIN:
            BeginRun();
            break;
        case WM_UPLOAD_THUMB_READY:
            OnThumbReady();
            break;
        case WM_UPLOAD_THUMB_REQUEST:
            thumbnails_.OnRequest();
            break;
        case WM_UPLOAD_THUMBS_DONE:
            thumbnails_.OnDone();
            StartNextUploadWhenIdle();
            PrepareAhead();
            break;
        case WM_UPLOAD_PROGRESS:
            OnUploadProgress(wParam);
            break;
        case WM_UPLOAD_CONTENT_CHECKED:
            OnContentChecked(*TakeOwned<AlbumContent>(wParam));
            break;
        case WM_UPLOAD_RESULT:
            OnUploadResult(wParam);
            break;
        case WM_UPLOAD_FILE_READY:
            OnFileReady(TakeOwned<PreparedUpload>(wParam));
            break;
        case WM_TIMER:
            if (wParam != UPLOAD_THUMB_TIMER) {
                handled = false;
                break;
            }
            KillTimer(hwnd, UPLOAD_THUMB_TIMER);
            RefreshThumbnails();
            break;
        case WM_CLOSE:
            OnClose();
            break;
        default:
            handled = false;
            break;
    }
    return 0;
}

bool CUploadDlg::OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                                 std::uintptr_t reason) {
    // Closing with pictures left to send asks first; the answer 取消 keeps the window.
    if (code == BUTTON_CLICK && target &&
        (target == parts[PART_CLOSE].get() || target == btnCmpl_.get()) && !ConfirmClose()) {
        return true;
    }
    if (CHskFrame::OnBehaviorEvent(element, target, code, reason))
        return true;
    switch (code) {
        case BUTTON_CLICK:
            if (target && target == btnCtn_.get()) {
                ShowButton(btnCtn_, false);
                ShowButton(btnPause_, true);
                ContinueUpload();
            } else if (target && target == btnPause_.get()) {
                ShowButton(btnPause_, false);
                ShowButton(btnCtn_, true);
                PauseUpload();
            } else if (target && target == btnCmpl_.get()) {
                PostMessage(hwnd, WM_CLOSE, 0, 0);
            }
            return false;
        case BUTTON_STATE_CHANGED:
            if (target && target == ckClose_.get()) {
                SettingsStore::Set(SettingsFilePath(), kAutoCloseKey,
                                   target->HasState(STATE_CHECKED) ? u"true" : u"false");
            }
            return false;
        case HYPERLINK_CLICK:
            if (target && Attribute(target, "class") == u"txt_link") {
                CopyLink(*target);
                return true;
            }
            return false;
        case ELEMENT_SCROLLED:
            if (target && target == taskList_.get())
                SetTimer(hwnd, UPLOAD_THUMB_TIMER, UPLOAD_THUMB_DELAY_MS);
            return false;
        case SCROLL_LIST_EVENT:
            SetTimer(hwnd, UPLOAD_THUMB_TIMER, UPLOAD_THUMB_DELAY_MS);
            return false;
        default:
            return false;
    }
}

bool CUploadDlg::OnMouse(Element&, MouseParams& params) {
    if (params.cmd != MOUSE_DOWN || !taskList_)
        return false;
    Element* icon = taskList_->FindFirst("p.close:hover");
    Element* item = icon && icon->Parent() ? icon->Parent()->Parent() : nullptr;
    if (item && item->Parent() == taskList_.get())
        RemoveTaskItem(*item);
    return false;
}

}  // namespace tavopix
