#include "engine/browser/BrowserView.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "engine/InputRouter.h"
#include "engine/TextMetrics.h"
#include "engine/browser/BrowserProtocol.h"
#include "platform/MessageQueue.h"
#include "platform/OwnedRecord.h"
#include "platform/SystemMetrics.h"
#include "platform/Utf8.h"
#include "platform/Window.h"

namespace tavopix {
namespace {

constexpr std::u16string_view kInputWindowClass = u"tavopix.browser-view";
constexpr UINT_PTR kGraceTimer = 1;
// Records the page's input may have on their way to the UI thread, and runs of typed text
// waiting there; a page that sends faster than the program handles loses the excess instead of
// growing the queue without end. Mouse moves are the first to go (the next one says where the
// mouse is); what the user typed or pressed is kept far longer, so no typist outruns it.
constexpr int kMaxMovesInFlight = 4096;
constexpr int kMaxInputsInFlight = 64 * 1024;
constexpr std::size_t kMaxTypedRuns = 16 * 1024;
constexpr std::size_t kMaxTypedRunUnits = 1024;
// Part of a window the page moves that stays on the screen, so it can be taken back.
constexpr int kVisibleGrip = 16;
constexpr int kMaxScreenSide = 32767;  // window positions travel in 16 bits

// A position the page reported, in the 16 bits a message parameter carries.
WORD PositionWord(int value) {
    return static_cast<WORD>(static_cast<std::int16_t>(std::clamp(value, -32768, 32767)));
}

// The rectangle a window the page moved may take: no larger than the screen, and at least a
// grip of it on the screen, the caption below its top edge.
Rect OnScreen(const PageMove& move, Size screen) {
    const int w = std::clamp(move.size.cx, 0, std::max(screen.cx, kVisibleGrip));
    const int h = std::clamp(move.size.cy, 0, std::max(screen.cy, kVisibleGrip));
    const int x = std::clamp(move.pos.x, kVisibleGrip - w, std::max(screen.cx - kVisibleGrip, 0));
    const int y = std::clamp(move.pos.y, 0, std::max(screen.cy - kVisibleGrip, 0));
    return {x, y, x + w, y + h};
}

GeometryQuestion Question(GeometryWhat what, ShownElement element, LocationArea area = 0,
                          int width = 0) {
    GeometryQuestion question;
    question.what = what;
    question.element = element;
    question.area = area;
    question.width = width;
    return question;
}

MouseInput MouseOf(const PageInput& input) {
    MouseInput mouse;
    mouse.target = input.kind == PageInputKind::MouseLeave ? 0 : input.uid;
    mouse.posDocument = input.page;
    mouse.pos = input.element;
    mouse.buttonState = input.buttons;
    mouse.altState = input.keys;
    mouse.isOnIcon = input.onIcon;
    switch (input.kind) {
        case PageInputKind::MouseDown:
            mouse.cmd = MOUSE_DOWN;
            break;
        case PageInputKind::MouseUp:
            mouse.cmd = MOUSE_UP;
            break;
        case PageInputKind::DoubleClick:
            mouse.cmd = MOUSE_DCLICK;
            break;
        case PageInputKind::MouseLeave:
            mouse.cmd = MOUSE_LEAVE;
            break;
        case PageInputKind::Wheel:
            mouse.cmd = MOUSE_WHEEL;
            mouse.wheelDelta = input.wheel;
            break;
        default:
            mouse.cmd = MOUSE_MOVE;
            break;
    }
    return mouse;
}

}  // namespace

// What the page reported, carried from the network thread to the UI thread. Typed text travels
// apart, in the view's runs of typed text: the record only says that one run is due.
struct BrowserView::Input {
    InputKind kind = InputKind::Page;
    PageMessage message;
};

std::unique_ptr<BrowserView> BrowserView::Start(std::filesystem::path webDir, std::string& error) {
    std::unique_ptr<BrowserView> view(new BrowserView());
    if (!view->Open(std::move(webDir), error))
        return nullptr;
    return view;
}

bool BrowserView::Open(std::filesystem::path webDir, std::string& error) {
    if (!GetClassInfoEx(kInputWindowClass, nullptr)) {
        WNDCLASSEX windowClass;
        windowClass.lpszClassName = std::u16string(kInputWindowClass);
        windowClass.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
            auto* self = reinterpret_cast<BrowserView*>(GetWindowLongPtr(hwnd, GWLP_USERDATA));
            if (self)
                return self->ViewProc(hwnd, message, wParam, lParam);
            return DefWindowProc(hwnd, message, wParam, lParam);
        };
        if (!RegisterClassEx(windowClass)) {
            error = "cannot register the view's window class";
            return false;
        }
    }
    inputWindow_ = CreateWindowEx(0, kInputWindowClass, u"", 0, 0, 0, 0, 0, nullptr, nullptr);
    if (!inputWindow_) {
        error = "cannot create the view's input window";
        return false;
    }
    SetWindowLongPtr(inputWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    BrowserServer::Handlers handlers;
    handlers.connected = [this] { Post(InputKind::Connected, PageNotice{}); };
    handlers.disconnected = [this] { Post(InputKind::Disconnected, PageNotice{}); };
    handlers.received = [this](std::string text) { OnReceived(text); };
    server_ = BrowserServer::Start(std::move(webDir), std::move(handlers), error);
    // The server serves the files the pages are given, told as each page is written.
    placer_ = [server = server_.get()](const std::string& path) { server->AllowFile(path); };
    return server_ != nullptr;
}

BrowserView::~BrowserView() {
    server_.reset();  // joins the network thread before anything it uses goes away
    if (IsWindow(inputWindow_)) {
        SetWindowLongPtr(inputWindow_, GWLP_USERDATA, 0);
        DestroyWindow(inputWindow_);
    }
}

// ---- From the page (network thread) ------------------------------------------------------------

bool BrowserView::Post(InputKind kind, PageMessage message) {
    const bool control = kind == InputKind::Connected || kind == InputKind::Disconnected;
    const auto* pageInput = std::get_if<PageInput>(&message);
    const int limit = pageInput && pageInput->kind == PageInputKind::MouseMove ? kMaxMovesInFlight
                                                                               : kMaxInputsInFlight;
    if (!control && inputsInFlight_ >= limit)
        return false;
    auto input = std::make_unique<Input>();
    input->kind = kind;
    input->message = std::move(message);
    if (!PostOwned(inputWindow_, WM_VIEW_INPUT, std::move(input)))
        return false;
    ++inputsInFlight_;
    return true;
}

void BrowserView::OnReceived(std::string_view text) {
    PageMessage message;
    std::string error;
    if (!DecodePageMessage(text, message, error)) {
        if (!decodeFaultShown_.exchange(true))
            std::fprintf(stderr, "tavopix: a page message was refused: %s\n", error.c_str());
        return;
    }
    if (auto* answer = std::get_if<PageAnswer>(&message)) {
        // An answer wakes the UI thread that is waiting for it; nothing else is involved.
        std::lock_guard lock(answersMutex_);
        auto it = answers_.find(answer->id);
        if (it == answers_.end())
            return;  // too late: the question timed out
        it->second = std::move(*answer);
        answered_.notify_all();
        return;
    }
    if (std::holds_alternative<PageNotice>(message))
        return;
    if (const auto* screen = std::get_if<PageScreen>(&message)) {
        if (screen->size.cx <= 0 || screen->size.cy <= 0)
            return;
        {
            std::lock_guard lock(screenMutex_);
            screenWidth_ = std::min(screen->size.cx, kMaxScreenSide);
            screenHeight_ = std::min(screen->size.cy, kMaxScreenSide);
        }
        screenKnown_.notify_all();
    }
    const auto* input = std::get_if<PageInput>(&message);
    std::lock_guard lock(typedMutex_);
    if (input && input->kind == PageInputKind::Char) {
        // Typed text joins the run still waiting for the UI thread when nothing else came in
        // between, so a flood of characters is one record, not one per character.
        const bool alt = (input->keys & ALT_KEY_PRESSED) != 0;
        if (typingRunOpen_ && typedRuns_.back().window == input->window &&
            typedRuns_.back().alt == alt &&
            typedRuns_.back().text.size() + input->text.size() <= kMaxTypedRunUnits) {
            typedRuns_.back().text += input->text;
            return;
        }
        if (typedRuns_.size() >= kMaxTypedRuns)
            return;
        typedRuns_.push_back({input->window, alt, input->text});
        typingRunOpen_ = Post(InputKind::Typed, PageNotice{});
        if (!typingRunOpen_)
            typedRuns_.pop_back();
        return;
    }
    typingRunOpen_ = false;
    if (input && input->kind == PageInputKind::Value) {
        // A newer value of a field whose value still waits replaces it there: the record
        // already on its way delivers the newest.
        const EditedField field{input->window, input->uid};
        if (auto it = pendingEdits_.find(field); it != pendingEdits_.end()) {
            if (input->edit >= it->second.edit)
                it->second = {input->text, input->edit};
            return;
        }
        pendingEdits_[field] = {input->text, input->edit};
        PageInput notice;
        notice.kind = PageInputKind::Value;
        notice.window = input->window;
        notice.uid = input->uid;
        if (!Post(InputKind::Edited, notice))
            pendingEdits_.erase(field);
        return;
    }
    Post(InputKind::Page, std::move(message));
}

// ---- On the UI thread -------------------------------------------------------------------------

LRESULT BrowserView::ViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_VIEW_INPUT) {
        const std::unique_ptr<Input> input = TakeOwned<Input>(wParam);
        --inputsInFlight_;
        HandleInput(*input);
        return 0;
    }
    if (message == WM_TIMER && wParam == kGraceTimer) {
        KillTimer(hwnd, kGraceTimer);
        if (!server_->IsConnected())
            CloseAllWindows();
        return 0;
    }
    return DefWindowProc(hwnd, message, wParam, lParam);
}

void BrowserView::HandleInput(const Input& input) {
    switch (input.kind) {
        case InputKind::Connected:
            answerCache_.clear();
            edits_.clear();  // a new page counts its edits from the start
            KillTimer(inputWindow_, kGraceTimer);
            SendFullState();
            return;
        case InputKind::Disconnected:
            answerCache_.clear();
            SetTimer(inputWindow_, kGraceTimer, kGraceMs);
            return;
        case InputKind::Typed:
            DeliverTypedRun();
            return;
        case InputKind::Edited:
            if (const auto* field = std::get_if<PageInput>(&input.message))
                DeliverEdit(*field);
            return;
        case InputKind::Page:
            break;
    }
    if (std::holds_alternative<PageScreen>(input.message)) {
        answerCache_.clear();
        const int w = screenWidth_;
        const int h = screenHeight_;
        SetScreenMetrics(w, h, w, h);
        LayOutWindows();
        return;
    }
    if (const auto* move = std::get_if<PageMove>(&input.message)) {
        answerCache_.clear();
        const HWND hwnd = HWND::FromValue(move->window);
        if (!IsWindow(hwnd))
            return;
        const Rect r = OnScreen(*move, ScreenSize());
        MoveWindow(hwnd, r.left, r.top, r.Width(), r.Height(), true);
        return;
    }
    if (const auto* system = std::get_if<PageSystem>(&input.message)) {
        answerCache_.clear();
        static constexpr WPARAM kCommands[] = {SC_RESTORE, SC_MINIMIZE, SC_MAXIMIZE, SC_CLOSE};
        const HWND hwnd = HWND::FromValue(system->window);
        if (IsWindow(hwnd))
            SendMessage(hwnd, WM_SYSCOMMAND, kCommands[static_cast<int>(system->command)], 0);
        return;
    }
    if (const auto* page = std::get_if<PageInput>(&input.message))
        HandlePageInput(*page);
}

void BrowserView::HandlePageInput(const PageInput& input) {
    // Pointing and typing leave the layout as it is, so a press can be hit-tested from what the
    // page answered before; scrolling or a changed value may not.
    if (input.kind == PageInputKind::Scroll || input.kind == PageInputKind::Value)
        answerCache_.clear();
    const bool key = input.kind == PageInputKind::KeyDown || input.kind == PageInputKind::KeyUp;
    const HWND hwnd = key ? KeyboardWindow(input.window) : HWND::FromValue(input.window);
    // A disabled window (a modal window runs over it) takes no input.
    if (!IsWindow(hwnd) || !IsWindowEnabled(hwnd))
        return;
    const bool alt = (input.keys & ALT_KEY_PRESSED) != 0;
    if (key) {
        const bool down = input.kind == PageInputKind::KeyDown;
        const UINT message =
            alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
        const LPARAM keyData = (alt ? KEY_DATA_ALT_DOWN : 0) |
                               ((input.keys & CONTROL_KEY_PRESSED) != 0 ? KEY_DATA_CTRL_DOWN : 0) |
                               ((input.keys & SHIFT_KEY_PRESSED) != 0 ? KEY_DATA_SHIFT_DOWN : 0);
        PostMessage(hwnd, message, input.keyCode, keyData);
        return;
    }

    const Document* document = DocumentOfWindow(input.window);
    EventDispatcher* events = document ? EventDispatcher::Of(*document) : nullptr;
    if (!events)
        return;
    InputRouter& router = events->Input();
    switch (input.kind) {
        case PageInputKind::MouseDown:
        case PageInputKind::DoubleClick: {
            const LRESULT hit =
                SendMessage(hwnd, WM_NCHITTEST, 0,
                            MAKELPARAM(PositionWord(input.screen.x), PositionWord(input.screen.y)));
            if (hit == HTCLIENT)
                break;
            // A window that fills the view has nowhere to go: its caption and borders only
            // keep the double click.
            const auto placed = windows_.find(input.window);
            const bool fills = placed != windows_.end() && placed->second.fillsView;
            if (input.kind == PageInputKind::MouseDown && hit != HTSYSMENU && !fills) {
                server_->Send(EncodeDrag(input.window, static_cast<long>(hit), input.screen));
            } else if (input.kind == PageInputKind::DoubleClick && hit == HTCAPTION) {
                // A double click on the caption maximises or restores, as on a desktop.
                SendMessage(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, 0);
            }
            return;
        }
        case PageInputKind::Context:
            router.ContextMenu(input.uid, input.page);
            return;
        case PageInputKind::Focus:
            router.FocusMoved(input.uid);
            return;
        case PageInputKind::Scroll: {
            ScrollInput scroll;
            scroll.target = input.uid;
            scroll.pos = input.page.y;
            router.Scroll(scroll);
            return;
        }
        default:
            break;
    }
    router.Mouse(MouseOf(input));
}

void BrowserView::DeliverTypedRun() {
    TypedRun run;
    {
        std::lock_guard lock(typedMutex_);
        if (typedRuns_.empty())
            return;
        run = std::move(typedRuns_.front());
        typedRuns_.pop_front();
        if (typedRuns_.empty())
            typingRunOpen_ = false;
    }
    const HWND hwnd = KeyboardWindow(run.window);
    if (!IsWindow(hwnd) || !IsWindowEnabled(hwnd))
        return;
    // Characters go through the window's queue, behind the keys before them, so the message
    // loop's accelerators see them.
    for (char16_t unit : run.text)
        PostMessage(hwnd, run.alt ? WM_SYSCHAR : WM_CHAR, unit, run.alt ? KEY_DATA_ALT_DOWN : 0);
}

void BrowserView::DeliverEdit(const PageInput& field) {
    PendingEdit edit;
    {
        std::lock_guard lock(typedMutex_);
        auto it = pendingEdits_.find({field.window, field.uid});
        if (it == pendingEdits_.end())
            return;
        edit = std::move(it->second);
        pendingEdits_.erase(it);
    }
    const HWND hwnd = HWND::FromValue(field.window);
    const Document* document = DocumentOfWindow(field.window);
    EventDispatcher* events = document ? EventDispatcher::Of(*document) : nullptr;
    if (!IsWindow(hwnd) || !IsWindowEnabled(hwnd) || !events)
        return;
    answerCache_.clear();
    // Taken before the control stores the value, so the change it records goes back with it.
    EditAcknowledgements& edits = edits_[DocumentId(*document)];
    edits[field.uid] = std::max(edits[field.uid], edit.edit);
    events->Input().ControlChanged(field.uid, edit.value);
}

void BrowserView::LayOutWindows() {
    const Size view = ScreenSize();
    // In creation order, owners before the windows they own; a window that fills the view is
    // laid out by the page.
    for (const auto& [key, placement] : std::map<WindowKey, WindowPlacement>(windows_)) {
        const HWND hwnd = HWND::FromValue(key);
        if (placement.fillsView || !IsWindow(hwnd)) {
            PlaceWindow(key, placement);
            continue;
        }
        const int w = std::min(placement.bounds.Width(), view.cx);
        const int h = std::min(placement.bounds.Height(), view.cy);
        const int x = std::max((view.cx - w) / 2, 0);
        const int y = std::max((view.cy - h) / 2, 0);
        const Rect& b = placement.bounds;
        if (placement.show != WindowShow::Normal ||
            (b.left == x && b.top == y && b.Width() == w && b.Height() == h))
            PlaceWindow(key, placement);
        else
            MoveWindow(hwnd, x, y, w, h, true);  // the window's observer places it anew
    }
}

bool BrowserView::MoveIntoView(WindowKey window, const WindowPlacement& placement) {
    const HWND hwnd = HWND::FromValue(window);
    if (placement.fillsView || !placement.visible || placement.show != WindowShow::Normal ||
        !IsWindow(hwnd)) {
        return false;
    }
    const Size view = ScreenSize();
    const Rect& b = placement.bounds;
    const int w = std::min(b.Width(), view.cx);
    const int h = std::min(b.Height(), view.cy);
    const int x = std::clamp(b.left, 0, view.cx - w);
    const int y = std::clamp(b.top, 0, view.cy - h);
    if (x == b.left && y == b.top && w == b.Width() && h == b.Height())
        return false;
    MoveWindow(hwnd, x, y, w, h, true);
    return true;
}

HWND BrowserView::KeyboardWindow(WindowKey window) const {
    // A key typed into a window that a modal window has just disabled, before the page moved
    // its focus there, belongs to the modal window, as the keyboard does on a desktop.
    const HWND hwnd = HWND::FromValue(window);
    if (!IsWindow(hwnd) || IsWindowEnabled(hwnd))
        return hwnd;
    const HWND active = GetActiveWindow();
    return IsWindow(active) && IsWindowEnabled(active) ? active : hwnd;
}

void BrowserView::SendFullState() {
    // What is still pending goes out first, so the snapshots below are not followed by changes
    // they already hold.
    Document::FlushAllChanges();
    server_->Send(EncodeHello());
    for (const auto& [key, placement] : windows_)
        PlaceWindow(key, placement);
    // A page that connected while the program was busy starting has had the documents sent
    // since (the notice of its connection waits behind that work): they are not sent again.
    const std::uint64_t page = server_->PageNumber();
    for (const auto& [document, id] : documentIds_) {
        if (documentPages_[document] != page)
            SendDocument(id, *document);
    }
}

void BrowserView::SendDocument(std::uint32_t id, const Document& document) {
    documentPages_[&document] = server_->PageNumber();
    server_->Send(EncodeDocument(id, document, &placer_));
}

void BrowserView::CloseAllWindows() {
    std::vector<HWND> windows = ListWindows();
    // Owned windows were created after their owners: the newest first closes dialogs before
    // the main window.
    std::reverse(windows.begin(), windows.end());
    for (HWND hwnd : windows) {
        if (hwnd != inputWindow_)
            PostMessage(hwnd, WM_CLOSE, 0, 0);
    }
}

std::uint32_t BrowserView::ShownDocumentId(const Element& element) const {
    const Document* document = element.GetDocument();
    auto it = document ? documentIds_.find(document) : documentIds_.end();
    return it == documentIds_.end() ? 0 : it->second;
}

std::uint32_t BrowserView::DocumentId(const Document& document) {
    auto [it, added] = documentIds_.try_emplace(&document, nextDocumentId_);
    if (added)
        ++nextDocumentId_;
    return it->second;
}

const Document* BrowserView::DocumentOfWindow(WindowKey window) const {
    auto it = windows_.find(window);
    if (it == windows_.end() || !it->second.document)
        return nullptr;
    // Only a document the view still knows: a window may outlive its page.
    return documentIds_.count(it->second.document) ? it->second.document : nullptr;
}

void BrowserView::CopyToClipboard(std::u16string_view text) {
    server_->Send(EncodeClipboard(text));
}

bool BrowserView::OpenInNewTab(std::string_view url) {
    if (!server_->IsConnected() || !(url.starts_with("http://") || url.starts_with("https://")))
        return false;
    server_->Send(EncodeOpenTab(url));
    return true;
}

void BrowserView::SayGoodbye() {
    server_->Send(EncodeQuit());
}

bool BrowserView::WaitForPage(std::chrono::milliseconds timeout) {
    std::unique_lock lock(screenMutex_);
    if (!screenKnown_.wait_for(lock, timeout, [this] { return screenWidth_ > 0; }))
        return false;
    SetScreenMetrics(screenWidth_, screenHeight_, screenWidth_, screenHeight_);
    return true;
}

// ---- View -------------------------------------------------------------------------------------

void BrowserView::ApplyChanges(const Document& document, const std::vector<Change>& changes) {
    answerCache_.clear();
    const std::uint32_t id = DocumentId(document);
    const bool reset = std::any_of(changes.begin(), changes.end(),
                                   [](const Change& c) { return c.kind == ChangeKind::Reset; });
    // A reset is sent as the whole page as it is now, which holds every change of the batch.
    if (reset) {
        SendDocument(id, document);
        return;
    }
    const auto edits = edits_.find(id);
    server_->Send(EncodeChanges(id, ++changeSeq_, document, changes,
                                edits == edits_.end() ? nullptr : &edits->second, &placer_));
}

void BrowserView::DocumentClosed(const Document& document) {
    answerCache_.clear();
    auto it = documentIds_.find(&document);
    if (it == documentIds_.end())
        return;
    server_->Send(EncodeDocumentClosed(it->second));
    edits_.erase(it->second);
    documentIds_.erase(it);
    documentPages_.erase(&document);
    for (auto& [key, placement] : windows_) {
        if (placement.document == &document)
            placement.document = nullptr;
    }
}

std::optional<PageAnswer> BrowserView::Ask(const GeometryQuestion& question) {
    if (!server_->IsConnected())
        return std::nullopt;
    std::string key = EncodeQuestion(0, question);
    if (auto cached = answerCache_.find(key); cached != answerCache_.end())
        return cached->second;
    std::unique_lock lock(answersMutex_);
    const std::uint64_t id = nextQuestion_++;
    answers_[id] = std::nullopt;
    server_->Send(EncodeQuestion(id, question));
    const bool got =
        answered_.wait_for(lock, kAnswerTimeout, [&] { return answers_[id].has_value(); });
    std::optional<PageAnswer> answer = got ? std::move(answers_[id]) : std::nullopt;
    answers_.erase(id);
    if (answer)
        answerCache_.emplace(std::move(key), *answer);
    return answer;
}

std::vector<int> BrowserView::AskNumbers(const GeometryQuestion& question, std::size_t count) {
    const std::optional<PageAnswer> answer = Ask(question);
    if (!answer || answer->numbers.size() != count)
        return {};
    return answer->numbers;
}

Rect BrowserView::ElementLocation(const Element& element, LocationArea area) {
    const std::uint32_t doc = ShownDocumentId(element);
    if (!doc)
        return {};
    const auto r = AskNumbers(Question(GeometryWhat::Location, {doc, element.GetUid()}, area), 4);
    return r.empty() ? Rect{} : Rect{r[0], r[1], r[2], r[3]};
}

std::vector<Rect> BrowserView::ElementLocations(std::span<const Element* const> elements,
                                                LocationArea area) {
    std::vector<Rect> out(elements.size());
    GeometryQuestion question = Question(GeometryWhat::Locations, {}, area);
    std::vector<std::size_t> asked;  // the index in `out` of each item of the question
    const auto askNow = [&] {
        const std::optional<PageAnswer> answer =
            question.items.empty() ? std::nullopt : Ask(question);
        if (answer && answer->rows.size() == asked.size()) {
            for (std::size_t i = 0; i < asked.size(); ++i) {
                const std::vector<int>& r = answer->rows[i];
                if (r.size() == 4)
                    out[asked[i]] = {r[0], r[1], r[2], r[3]};
            }
        }
        question.items.clear();
        asked.clear();
    };
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::uint32_t doc = elements[i] ? ShownDocumentId(*elements[i]) : 0;
        if (!doc)
            continue;
        question.items.push_back({doc, elements[i]->GetUid()});
        asked.push_back(i);
        if (question.items.size() == kMaxQuestionItems)
            askNow();
    }
    askNow();
    return out;
}

IntrinsicWidths BrowserView::ElementIntrinsicWidths(const Element& element) {
    if (const std::uint32_t doc = ShownDocumentId(element)) {
        const auto r =
            AskNumbers(Question(GeometryWhat::IntrinsicWidths, {doc, element.GetUid()}), 2);
        if (!r.empty())
            return {r[0], r[1]};
    }
    return EstimatedIntrinsicWidths(element);
}

int BrowserView::ElementIntrinsicHeight(const Element& element, int width) {
    if (const std::uint32_t doc = ShownDocumentId(element)) {
        const auto r = AskNumbers(
            Question(GeometryWhat::IntrinsicHeight, {doc, element.GetUid()}, 0, width), 1);
        if (!r.empty())
            return r[0];
    }
    return EstimatedIntrinsicHeight(element, width);
}

ScrollInfo BrowserView::ElementScrollInfo(const Element& element) {
    const std::uint32_t doc = ShownDocumentId(element);
    if (!doc)
        return {};
    const auto r = AskNumbers(Question(GeometryWhat::Scroll, {doc, element.GetUid()}), 8);
    if (r.empty())
        return {};
    return {{r[0], r[1]}, {r[2], r[3], r[4], r[5]}, {r[6], r[7]}};
}

void BrowserView::SetElementScrollPos(const Element& element, Point pos, bool smooth) {
    answerCache_.clear();
    const std::uint32_t doc = ShownDocumentId(element);
    if (!doc)
        return;
    Document::FlushAllChanges();
    server_->Send(EncodeScrollTo({doc, element.GetUid()}, pos, smooth));
}

void BrowserView::ShowPopup(const Element& popup, Point anchor) {
    answerCache_.clear();
    const std::uint32_t doc = ShownDocumentId(popup);
    if (!doc)
        return;
    Document::FlushAllChanges();
    server_->Send(EncodePopup({doc, popup.GetUid()}, anchor));
}

void BrowserView::HidePopup(const Element& popup) {
    answerCache_.clear();
    const std::uint32_t doc = ShownDocumentId(popup);
    if (!doc)
        return;
    server_->Send(EncodeHidePopup({doc, popup.GetUid()}));
}

Size BrowserView::ScreenSize() {
    const int w = screenWidth_;
    const int h = screenHeight_;
    if (w > 0 && h > 0)
        return {w, h};
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

Rect BrowserView::WorkArea() {
    return {0, 0, GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
}

void BrowserView::PlaceWindow(WindowKey window, const WindowPlacement& placement) {
    answerCache_.clear();
    const auto previous = windows_.find(window);
    const bool newlyShown = previous == windows_.end() || !previous->second.visible;
    const bool resized = previous == windows_.end() ||
                         previous->second.bounds.Width() != placement.bounds.Width() ||
                         previous->second.bounds.Height() != placement.bounds.Height();
    windows_[window] = placement;
    // A window that appears or grows (a dialog showing more of itself) stays inside the view;
    // moved, it is placed again by the window's observer.
    if ((newlyShown || resized) && MoveIntoView(window, placement))
        return;
    const std::uint32_t docId = placement.document ? DocumentId(*placement.document) : 0;
    const bool active = GetActiveWindow().Value() == window;
    server_->Send(EncodeWindow(window, docId, placement, active, WorkArea()));
}

void BrowserView::RemoveWindow(WindowKey window) {
    answerCache_.clear();
    windows_.erase(window);
    server_->Send(EncodeWindowClosed(window));
}

}  // namespace tavopix
