#include "ui/PageHost.h"

#include <unordered_map>

#include "engine/InputRouter.h"
#include "engine/View.h"
#include "platform/WindowMessages.h"

namespace tavopix {
namespace {

View* g_view = nullptr;

std::unordered_map<HWND, std::unique_ptr<PageHost>>& Pages() {
    static std::unordered_map<HWND, std::unique_ptr<PageHost>> pages;
    return pages;
}

std::uint32_t KeyStates(LPARAM lParam) {
    return ((lParam & KEY_DATA_ALT_DOWN) != 0 ? ALT_KEY_PRESSED : 0) |
           ((lParam & KEY_DATA_CTRL_DOWN) != 0 ? CONTROL_KEY_PRESSED : 0) |
           ((lParam & KEY_DATA_SHIFT_DOWN) != 0 ? SHIFT_KEY_PRESSED : 0);
}

}  // namespace

void PageHost::SetView(View* view) {
    g_view = view;
}
View* PageHost::CurrentView() {
    return g_view;
}

PageHost::PageHost(HWND hwnd, std::unique_ptr<Document> document)
    : document_(std::move(document)), events_(std::make_unique<EventDispatcher>(*document_)) {
    events_->SetWindow(hwnd);
    if (g_view)
        document_->AttachView(g_view);
}

PageHost::~PageHost() {
    // The dispatcher goes first: it holds references into the page.
    events_.reset();
    document_.reset();
}

bool PageHost::LoadFile(HWND hwnd, std::u16string_view path) {
    std::unique_ptr<Document> document = Document::LoadFile(path);
    if (!document || !document->Root())
        return false;
    Pages()[hwnd].reset(new PageHost(hwnd, std::move(document)));
    return true;
}

PageHost* PageHost::Of(HWND hwnd) {
    auto it = Pages().find(hwnd);
    return it == Pages().end() ? nullptr : it->second.get();
}

void PageHost::Unload(HWND hwnd) {
    auto it = Pages().find(hwnd);
    if (it == Pages().end())
        return;
    // Taken out of the map first: closing the page may run handlers that look pages up.
    std::unique_ptr<PageHost> page = std::move(it->second);
    Pages().erase(it);
}

bool PageHost::ProcND(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    PageHost* page = Of(hwnd);
    if (!page)
        return false;
    result = 0;
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYUP:
        case WM_CHAR:
        case WM_SYSCHAR: {
            KeyInput key;
            key.cmd = (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) ? KEY_DOWN
                      : (message == WM_KEYUP || message == WM_SYSKEYUP)   ? KEY_UP
                                                                          : KEY_CHAR;
            key.keyCode = static_cast<std::uint32_t>(wParam);
            key.altState = KeyStates(lParam);
            page->Events().Input().Key(key);
            return true;
        }
        default:
            return page->Events().HandleWindowMessage(message, wParam, lParam);
    }
}

int PageHost::MinWidth() const {
    const Element* body = document_->Body();
    return (body ? body : document_->Root())->GetIntrinsicWidths().minWidth;
}

int PageHost::MinHeight(int width) const {
    const Element* body = document_->Body();
    return (body ? body : document_->Root())->IntrinsicHeight(width);
}

}  // namespace tavopix
