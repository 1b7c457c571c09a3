// The completion functions the dialogs hand to the SDK. The SDK calls one on its transfer
// thread; it only posts a window message to the dialog that started the operation, with the
// SDK's result in wParam and the thread's last error in lParam.
//
// The context is the dialog window's handle value, never a pointer to the dialog: a handle
// names its window only while that window lives, so a completion that comes after its dialog
// closed posts into nothing (PostMessage fails) and no freed memory is touched.
#pragma once

#include <cstdint>

#include "platform/LastError.h"
#include "platform/MessageQueue.h"
#include "platform/WindowHandle.h"

namespace tavopix {

inline void* CompletionContext(HWND hwnd) {
    return reinterpret_cast<void*>(hwnd.Value());
}

template <UINT Message>
void PostCompletion(void* context, std::uint32_t result) {
    PostMessage(HWND::FromValue(reinterpret_cast<std::uintptr_t>(context)), Message, result,
                static_cast<LPARAM>(GetLastError()));
}

}  // namespace tavopix
