// The view that renders the program's windows in a real browser: it runs the local server
// (BrowserServer.h), sends every window, page and change to the page that is connected, asks
// it the geometry questions, and turns what the user does there back into input on the UI
// thread.
//
// Input path: the network thread parses what the page sends and posts it as WM_VIEW_INPUT
// records to a hidden window of the view, whose procedure runs on the UI thread and hands each
// to the page's InputRouter — except a press in a window's non-client zones (the window's
// WM_NCHITTEST says so), which starts a drag or resize in the browser instead, and keys, which
// go to the window as WM_KEYDOWN / WM_CHAR so the message loop's accelerators see them first.
//
// Geometry: a question is sent to the page and the UI thread waits for the answer, up to a
// time-out; without a page, or past the time-out, the answer comes from a plain fallback (the
// text's length in an 8-pixel cell), so the program never hangs on a missing browser. Answers
// hold until anything changes (the page, a window, input), so the questions one handler asks
// again and again (a hit test on every press) cross the socket once.
//
// Typed text: the page's field is the truth while the user types. Each value the page reports
// carries the number of the page's edit of that field; the program's changes of a field's value
// go out with the number of the last edit it has taken, and the page keeps its own text while
// it has edits the program has not seen yet. Values of one field waiting for the UI thread are
// merged into the newest, so a fast typist's values never pile up, and keys are never dropped.
//
// Layout: once the page tells its real size, and whenever it changes, every window that does
// not fill the view is centred in it again, no larger than the view; a window that appears or
// grows past the view's edges is moved back inside.
//
// When the page goes away and no page connects again within the grace period (a reload comes
// back well within it), every window is asked to close, owned windows first: closing the
// browser window closes the program.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "engine/View.h"
#include "engine/browser/BrowserProtocol.h"
#include "engine/browser/BrowserServer.h"
#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"

namespace tavopix {

class BrowserView final : public View {
public:
    // Null with `error` set when the server cannot start. UI thread.
    [[nodiscard]] static std::unique_ptr<BrowserView> Start(std::filesystem::path webDir,
                                                            std::string& error);
    ~BrowserView() override;

    std::string Url() const { return server_->Url(); }
    bool IsConnected() const { return server_->IsConnected(); }
    // Every file under `folder` may be fetched (the skin); other files only once a page was
    // given their address. Any thread.
    void AllowFolder(const std::filesystem::path& folder) override { server_->AllowFolder(folder); }
    // Puts `text` on the clipboard of the browser's machine.
    void CopyToClipboard(std::u16string_view text) override;
    // Tells the page the program has ended.
    void SayGoodbye();
    // Waits until a page has connected and told its size, so the first windows are placed on
    // the real screen; false when none came within `timeout`.
    bool WaitForPage(std::chrono::milliseconds timeout);

    // How long a geometry question may wait, and how long the program waits for a page to come
    // back before it closes.
    static constexpr auto kAnswerTimeout = std::chrono::milliseconds(1000);
    static constexpr unsigned kGraceMs = 4000;

    // ---- View ---------------------------------------------------------------------------------
    void ApplyChanges(const Document& document, const std::vector<Change>& changes) override;
    void DocumentClosed(const Document& document) override;
    Rect ElementLocation(const Element& element, LocationArea area) override;
    std::vector<Rect> ElementLocations(std::span<const Element* const> elements,
                                       LocationArea area) override;
    IntrinsicWidths ElementIntrinsicWidths(const Element& element) override;
    int ElementIntrinsicHeight(const Element& element, int width) override;
    ScrollInfo ElementScrollInfo(const Element& element) override;
    void SetElementScrollPos(const Element& element, Point pos, bool smooth) override;
    void ShowPopup(const Element& popup, Point anchor) override;
    void HidePopup(const Element& popup) override;
    bool OpenInNewTab(std::string_view url) override;
    Size ScreenSize() override;
    Rect WorkArea() override;
    void PlaceWindow(WindowKey window, const WindowPlacement& placement) override;
    void RemoveWindow(WindowKey window) override;

private:
    // What a record for the UI thread holds: the page came or went, a message of the page, or
    // the next run of typed text.
    enum class InputKind { Connected, Disconnected, Page, Typed, Edited };
    struct Input;
    // Characters typed into one window, waiting for the UI thread.
    struct TypedRun {
        WindowKey window = 0;
        bool alt = false;
        std::u16string text;
    };
    // The newest value the page reported for one field, waiting for the UI thread.
    struct EditedField {
        WindowKey window = 0;
        Element::Uid uid = 0;
        bool operator==(const EditedField&) const = default;
    };
    struct EditedFieldHash {
        std::size_t operator()(const EditedField& f) const {
            return std::hash<WindowKey>()(f.window) * 31 + f.uid;
        }
    };
    struct PendingEdit {
        std::u16string value;
        std::uint64_t edit = 0;
    };

    BrowserView() = default;
    bool Open(std::filesystem::path webDir, std::string& error);

    // Network thread.
    void OnReceived(std::string_view text);
    // Hands a record to the UI thread; false when it was dropped (too many on their way).
    bool Post(InputKind kind, PageMessage message);
    // UI thread.
    LRESULT ViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void HandleInput(const Input& input);
    void HandlePageInput(const PageInput& input);
    void DeliverTypedRun();
    void DeliverEdit(const PageInput& field);
    // The window keys typed into `window` go to: the active window when a modal one has
    // disabled `window`.
    HWND KeyboardWindow(WindowKey window) const;
    // Centres every window that does not fill the view in the view, no larger than it.
    void LayOutWindows();
    // Moves a shown window that reaches outside the view into it, shrunk to the view where it
    // is larger; false when it was inside.
    bool MoveIntoView(WindowKey window, const WindowPlacement& placement);
    void SendFullState();
    void SendDocument(std::uint32_t id, const Document& document);
    void CloseAllWindows();
    std::uint32_t DocumentId(const Document& document);
    // The id of the page `element` is in, when this view shows that page; 0 otherwise.
    std::uint32_t ShownDocumentId(const Element& element) const;
    const Document* DocumentOfWindow(WindowKey window) const;
    // Sends a question and waits for its answer; null without a page or past the time-out.
    std::optional<PageAnswer> Ask(const GeometryQuestion& question);
    // The answer's flat list when it holds `count` numbers; empty otherwise.
    std::vector<int> AskNumbers(const GeometryQuestion& question, std::size_t count);

    std::unique_ptr<BrowserServer> server_;
    FilePlacer placer_;  // lets the server serve each file a page is given
    HWND inputWindow_;
    std::unordered_map<const Document*, std::uint32_t> documentIds_;
    // The page (BrowserServer::PageNumber) each document was last sent whole to.
    std::unordered_map<const Document*, std::uint64_t> documentPages_;
    std::uint32_t nextDocumentId_ = 1;
    std::uint64_t changeSeq_ = 0;
    std::map<WindowKey, WindowPlacement> windows_;  // in creation order of their keys

    std::mutex answersMutex_;
    std::condition_variable answered_;
    std::uint64_t nextQuestion_ = 1;
    std::unordered_map<std::uint64_t, std::optional<PageAnswer>> answers_;
    std::unordered_map<std::string, PageAnswer> answerCache_;  // UI thread

    std::atomic<int> inputsInFlight_{0};
    std::atomic<bool> decodeFaultShown_{false};
    std::mutex typedMutex_;
    std::deque<TypedRun> typedRuns_;
    bool typingRunOpen_ = false;  // the last record posted was the newest typed run
    std::unordered_map<EditedField, PendingEdit, EditedFieldHash> pendingEdits_;
    // By document id: the page's last edit of each field the program has taken. UI thread.
    std::unordered_map<std::uint32_t, EditAcknowledgements> edits_;

    std::atomic<int> screenWidth_{0};
    std::atomic<int> screenHeight_{0};
    std::mutex screenMutex_;
    std::condition_variable screenKnown_;
};

}  // namespace tavopix
