#include "platform/MessageQueue.h"

#include "platform/internal/UiThread.h"

namespace tavopix {

using internal::MessageFilter;
using internal::UiThread;

bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return UiThread::Get().Post(hwnd, message, wParam, lParam);
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return UiThread::Get().Send(hwnd, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    UiThread::Get().PostQuit(exitCode);
}

bool GetMessage(MSG* msg, HWND hwnd, UINT first, UINT last) {
    return UiThread::Get().Get(msg, MessageFilter{hwnd, first, last});
}

bool PeekMessage(MSG* msg, HWND hwnd, UINT first, UINT last, UINT removeFlags) {
    return UiThread::Get().Peek(msg, MessageFilter{hwnd, first, last},
                                (removeFlags & PM_REMOVE) != 0);
}

LRESULT DispatchMessage(const MSG* msg) {
    return UiThread::Get().Dispatch(*msg);
}

bool RegisterMessageRecord(UINT message, RecordDeleter deleter) {
    return UiThread::Get().RegisterRecord(message, deleter);
}

std::size_t DiscardQueuedMessages(HWND hwnd, UINT first, UINT last) {
    return UiThread::Get().Discard(MessageFilter{hwnd, first, last}, nullptr,
                                   UiThread::Deleters::Registered);
}

std::size_t DiscardQueuedMessages(HWND hwnd, UINT first, UINT last, RecordDeleter deleter) {
    return UiThread::Get().Discard(MessageFilter{hwnd, first, last}, deleter,
                                   UiThread::Deleters::Given);
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse) {
    return UiThread::Get().SetTimer(hwnd, id, elapse) ? id : 0;
}

bool KillTimer(HWND hwnd, UINT_PTR id) {
    return UiThread::Get().KillTimer(hwnd, id);
}

}  // namespace tavopix
