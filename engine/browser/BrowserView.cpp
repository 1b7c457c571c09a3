#include "engine/browser/BrowserView.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "engine/InputRouter.h"
#include "engine/TextMetrics.h"
#include "engine/browser/BrowserProtocol.h"
#include "platform/MessageQueue.h"
#include "platform/SystemMetrics.h"
#include "platform/Utf8.h"
#include "platform/Window.h"

namespace tavopix {
namespace {

using nlohmann::json;

constexpr std::u16string_view kInputWindowClass = u"tavopix.browser-view";
constexpr UINT_PTR kGraceTimer = 1;

std::string Dump(const json& j) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace

// What the page reported, carried from the network thread to the UI thread.
struct BrowserView::Input {
    enum class Kind {
        Connected,
        Disconnected,
        Mouse,
        Context,
        Key,
        Char,
        Value,
        Focus,
        Scroll,
        Move,
        System,
        Screen,
    };
    Kind kind = Kind::Mouse;
    WindowKey window = 0;
    Element::Uid uid = 0;
    MouseInput mouse;
    Point screen;
    std::uint32_t keyCode = 0;
    bool alt = false;
    std::u16string text;
    Rect rect;
    std::string command;
};

std::unique_ptr<BrowserView> BrowserView::Start(std::filesystem::path webDir, std::string& error) {
    std::unique_ptr<BrowserView> view(new BrowserView());
    if (!view->Open(std::move(webDir), error))
        return nullptr;
    return view;
}

bool BrowserView::Open(std::filesystem::path webDir, std::string& error) {
    RegisterMessageRecord(WM_VIEW_INPUT, &DeleteLParamRecord<Input>);
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

    const HWND target = inputWindow_;
    BrowserServer::Handlers handlers;
    handlers.connected = [target] {
        auto input = std::make_unique<Input>();
        input->kind = Input::Kind::Connected;
        if (PostMessage(target, WM_VIEW_INPUT, 0, reinterpret_cast<LPARAM>(input.get()))) {
            input.release();
        }
    };
    handlers.disconnected = [target] {
        auto input = std::make_unique<Input>();
        input->kind = Input::Kind::Disconnected;
        if (PostMessage(target, WM_VIEW_INPUT, 0, reinterpret_cast<LPARAM>(input.get()))) {
            input.release();
        }
    };
    handlers.received = [this](std::string text) { OnReceived(std::move(text)); };
    server_ = BrowserServer::Start(std::move(webDir), std::move(handlers), error);
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

void BrowserView::OnReceived(std::string text) {
    const json message = json::parse(text, nullptr, false);
    if (!message.is_object())
        return;
    const std::string type = message.value("t", "");
    if (type == "a") {
        // An answer wakes the UI thread that is waiting for it; nothing else is involved.
        const std::uint64_t id = message.value("id", std::uint64_t{0});
        std::lock_guard lock(answersMutex_);
        auto it = answers_.find(id);
        if (it == answers_.end())
            return;  // too late: the question timed out
        it->second = message.contains("r") ? message["r"].dump() : "null";
        answered_.notify_all();
        return;
    }

    auto input = std::make_unique<Input>();
    const auto number = [&](const char* key) { return message.value(key, 0); };
    input->window = message.value("win", WindowKey{0});
    input->uid = message.value("u", Element::Uid{0});
    if (type == "in") {
        const std::string kind = message.value("k", "");
        input->mouse.target = input->uid;
        input->mouse.posDocument = {number("x"), number("y")};
        input->mouse.pos = {number("ex"), number("ey")};
        input->mouse.buttonState = static_cast<std::uint32_t>(number("b"));
        input->mouse.altState = static_cast<std::uint32_t>(number("m"));
        input->screen = {number("sx"), number("sy")};
        input->alt = (number("m") & ALT_KEY_PRESSED) != 0;
        if (kind == "move" || kind == "over") {
            input->mouse.cmd = MOUSE_MOVE;
        } else if (kind == "down") {
            input->mouse.cmd = MOUSE_DOWN;
        } else if (kind == "up") {
            input->mouse.cmd = MOUSE_UP;
        } else if (kind == "dblclick") {
            input->mouse.cmd = MOUSE_DCLICK;
        } else if (kind == "leave") {
            input->mouse.cmd = MOUSE_LEAVE;
            input->mouse.target = 0;
        } else if (kind == "wheel") {
            input->mouse.cmd = MOUSE_WHEEL;
            input->mouse.wheelDelta = number("dy");
        } else if (kind == "context") {
            input->kind = Input::Kind::Context;
        } else if (kind == "keydown" || kind == "keyup") {
            input->kind = Input::Kind::Key;
            input->keyCode = static_cast<std::uint32_t>(number("code"));
            input->command = kind;
        } else if (kind == "char") {
            input->kind = Input::Kind::Char;
            input->text = Utf8ToUtf16(message.value("ch", ""));
        } else if (kind == "value") {
            input->kind = Input::Kind::Value;
            input->text = Utf8ToUtf16(message.value("v", ""));
        } else if (kind == "focus") {
            input->kind = Input::Kind::Focus;
        } else if (kind == "scroll") {
            input->kind = Input::Kind::Scroll;
            input->rect = {number("x"), number("y"), 0, 0};
        } else {
            return;
        }
    } else if (type == "move") {
        input->kind = Input::Kind::Move;
        input->rect = {number("x"), number("y"), number("x") + number("w"),
                       number("y") + number("h")};
    } else if (type == "sys") {
        input->kind = Input::Kind::System;
        input->command = message.value("cmd", "");
    } else if (type == "screen") {
        input->kind = Input::Kind::Screen;
        {
            std::lock_guard lock(screenMutex_);
            screenWidth_ = number("w");
            screenHeight_ = number("h");
        }
        screenKnown_.notify_all();
    } else {
        return;
    }
    if (PostMessage(inputWindow_, WM_VIEW_INPUT, 0, reinterpret_cast<LPARAM>(input.get()))) {
        input.release();
    }
}

// ---- On the UI thread -------------------------------------------------------------------------

LRESULT BrowserView::ViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_VIEW_INPUT) {
        const std::unique_ptr<Input> input(reinterpret_cast<Input*>(lParam));
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
    // Pointing and typing leave the layout as it is, so a press can be hit-tested from what the
    // page answered before; a new page, a new screen, scrolling or a changed value may not.
    const bool layoutMayChange =
        input.kind != Input::Kind::Mouse && input.kind != Input::Kind::Context &&
        input.kind != Input::Kind::Key && input.kind != Input::Kind::Char &&
        input.kind != Input::Kind::Focus;
    if (layoutMayChange)
        answerCache_.clear();
    switch (input.kind) {
        case Input::Kind::Connected:
            KillTimer(inputWindow_, kGraceTimer);
            SendFullState();
            return;
        case Input::Kind::Disconnected:
            SetTimer(inputWindow_, kGraceTimer, kGraceMs);
            return;
        case Input::Kind::Screen: {
            const int w = screenWidth_;
            const int h = screenHeight_;
            SetScreenMetrics(w, h, w, h);
            for (const auto& [key, placement] : windows_)
                PlaceWindow(key, placement);
            return;
        }
        default:
            break;
    }

    const HWND hwnd = HWND::FromValue(input.window);
    if (!IsWindow(hwnd))
        return;
    switch (input.kind) {
        case Input::Kind::Move:
            MoveWindow(hwnd, input.rect.left, input.rect.top, input.rect.Width(),
                       input.rect.Height(), true);
            return;
        case Input::Kind::System: {
            const WPARAM command = input.command == "restore"    ? SC_RESTORE
                                   : input.command == "minimize" ? SC_MINIMIZE
                                   : input.command == "maximize" ? SC_MAXIMIZE
                                   : input.command == "close"    ? SC_CLOSE
                                                                 : 0;
            if (command)
                SendMessage(hwnd, WM_SYSCOMMAND, command, 0);
            return;
        }
        default:
            break;
    }
    // A disabled window (a modal window runs over it) takes no input.
    if (!IsWindowEnabled(hwnd))
        return;
    if (input.kind == Input::Kind::Key) {
        const bool down = input.command == "keydown";
        const UINT message =
            input.alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
        PostMessage(hwnd, message, input.keyCode, input.alt ? KEY_DATA_ALT_DOWN : 0);
        return;
    }
    if (input.kind == Input::Kind::Char) {
        for (char16_t unit : input.text) {
            PostMessage(hwnd, input.alt ? WM_SYSCHAR : WM_CHAR, unit,
                        input.alt ? KEY_DATA_ALT_DOWN : 0);
        }
        return;
    }

    const Document* document = DocumentOfWindow(input.window);
    EventDispatcher* events = document ? EventDispatcher::Of(*document) : nullptr;
    if (!events)
        return;
    InputRouter& router = events->Input();
    switch (input.kind) {
        case Input::Kind::Mouse:
            if (input.mouse.cmd == MOUSE_DOWN || input.mouse.cmd == MOUSE_DCLICK) {
                const LRESULT hit = SendMessage(
                    hwnd, WM_NCHITTEST, 0,
                    MAKELPARAM(static_cast<WORD>(static_cast<std::int16_t>(input.screen.x)),
                               static_cast<WORD>(static_cast<std::int16_t>(input.screen.y))));
                if (hit != HTCLIENT) {
                    if (input.mouse.cmd == MOUSE_DOWN && hit != HTSYSMENU) {
                        server_->Send(Dump({{"t", "drag"},
                                            {"win", input.window},
                                            {"code", hit},
                                            {"sx", input.screen.x},
                                            {"sy", input.screen.y}}));
                    } else if (input.mouse.cmd == MOUSE_DCLICK && hit == HTCAPTION) {
                        // A double click on the caption maximises or restores, as on a desktop.
                        SendMessage(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE,
                                    0);
                    }
                    return;
                }
            }
            router.Mouse(input.mouse);
            return;
        case Input::Kind::Context:
            router.ContextMenu(input.uid, input.mouse.posDocument);
            return;
        case Input::Kind::Value:
            router.ControlChanged(input.uid, input.text);
            return;
        case Input::Kind::Focus:
            router.FocusMoved(input.uid);
            return;
        case Input::Kind::Scroll: {
            ScrollInput scroll;
            scroll.target = input.uid;
            scroll.pos = input.rect.top;
            router.Scroll(scroll);
            return;
        }
        default:
            return;
    }
}

void BrowserView::SendFullState() {
    // What is still pending goes out first, so the snapshots below are not followed by changes
    // they already hold.
    Document::FlushAllChanges();
    server_->Send(R"({"t":"hello"})");
    for (const auto& [key, placement] : windows_)
        PlaceWindow(key, placement);
    for (const auto& [document, id] : documentIds_)
        server_->Send(EncodeDocument(id, *document));
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
    server_->Send(Dump({{"t", "clip"}, {"text", Utf16ToUtf8(text)}}));
}

void BrowserView::SayGoodbye() {
    server_->Send(R"({"t":"quit"})");
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
    server_->Send(reset ? EncodeDocument(id, document)
                        : EncodeChanges(id, ++changeSeq_, document, changes));
}

void BrowserView::DocumentClosed(const Document& document) {
    answerCache_.clear();
    auto it = documentIds_.find(&document);
    if (it == documentIds_.end())
        return;
    server_->Send(Dump({{"t", "docclose"}, {"doc", it->second}}));
    documentIds_.erase(it);
    for (auto& [key, placement] : windows_) {
        if (placement.document == &document)
            placement.document = nullptr;
    }
}

std::optional<std::string> BrowserView::Ask(std::string question) {
    if (!server_->IsConnected())
        return std::nullopt;
    if (auto cached = answerCache_.find(question); cached != answerCache_.end()) {
        return cached->second;
    }
    std::unique_lock lock(answersMutex_);
    const std::uint64_t id = nextQuestion_++;
    answers_[id] = std::nullopt;
    json j = json::parse(question);
    j["t"] = "q";
    j["id"] = id;
    server_->Send(Dump(j));
    const bool got =
        answered_.wait_for(lock, kAnswerTimeout, [&] { return answers_[id].has_value(); });
    std::optional<std::string> answer = got ? std::move(answers_[id]) : std::nullopt;
    answers_.erase(id);
    if (answer)
        answerCache_.emplace(std::move(question), *answer);
    return answer;
}

namespace {

std::vector<int> Numbers(const std::optional<std::string>& answer, std::size_t count) {
    if (!answer)
        return {};
    const json j = json::parse(*answer, nullptr, false);
    if (!j.is_array() || j.size() != count)
        return {};
    std::vector<int> out;
    for (const auto& v : j) {
        if (!v.is_number())
            return {};
        out.push_back(v.get<int>());
    }
    return out;
}

}  // namespace

Rect BrowserView::ElementLocation(const Element& element, LocationArea area) {
    const std::uint32_t doc = ShownDocumentId(element);
    if (!doc)
        return {};
    const auto r = Numbers(
        Ask(Dump({{"doc", doc}, {"u", element.GetUid()}, {"what", "loc"}, {"area", area}})), 4);
    return r.empty() ? Rect{} : Rect{r[0], r[1], r[2], r[3]};
}

IntrinsicWidths BrowserView::ElementIntrinsicWidths(const Element& element) {
    if (const std::uint32_t doc = ShownDocumentId(element)) {
        const auto r =
            Numbers(Ask(Dump({{"doc", doc}, {"u", element.GetUid()}, {"what", "iw"}})), 2);
        if (!r.empty())
            return {r[0], r[1]};
    }
    return EstimatedIntrinsicWidths(element);
}

int BrowserView::ElementIntrinsicHeight(const Element& element, int width) {
    if (const std::uint32_t doc = ShownDocumentId(element)) {
        const auto r = Numbers(
            Ask(Dump({{"doc", doc}, {"u", element.GetUid()}, {"what", "ih"}, {"width", width}})),
            1);
        if (!r.empty())
            return r[0];
    }
    return EstimatedIntrinsicHeight(element, width);
}

ScrollInfo BrowserView::ElementScrollInfo(const Element& element) {
    const std::uint32_t doc = ShownDocumentId(element);
    if (!doc)
        return {};
    const auto r =
        Numbers(Ask(Dump({{"doc", doc}, {"u", element.GetUid()}, {"what", "scroll"}})), 8);
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
    server_->Send(Dump({{"t", "scrollto"},
                        {"doc", doc},
                        {"u", element.GetUid()},
                        {"x", pos.x},
                        {"y", pos.y},
                        {"smooth", smooth}}));
}

void BrowserView::ShowPopup(const Element& popup, Point anchor) {
    answerCache_.clear();
    const std::uint32_t doc = ShownDocumentId(popup);
    if (!doc)
        return;
    Document::FlushAllChanges();
    server_->Send(Dump(
        {{"t", "popup"}, {"doc", doc}, {"u", popup.GetUid()}, {"x", anchor.x}, {"y", anchor.y}}));
}

void BrowserView::HidePopup(const Element& popup) {
    answerCache_.clear();
    const std::uint32_t doc = ShownDocumentId(popup);
    if (!doc)
        return;
    server_->Send(Dump({{"t", "hidepopup"}, {"doc", doc}, {"u", popup.GetUid()}}));
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
    windows_[window] = placement;
    const std::uint32_t docId = placement.document ? DocumentId(*placement.document) : 0;
    const bool active = GetActiveWindow().Value() == window;
    server_->Send(EncodeWindow(window, docId, placement, active, WorkArea()));
}

void BrowserView::RemoveWindow(WindowKey window) {
    answerCache_.clear();
    windows_.erase(window);
    server_->Send(Dump({{"t", "winclose"}, {"id", window}}));
}

}  // namespace tavopix
