#include "platform/Accelerator.h"

#include <array>
#include <span>

#include "platform/MessageQueue.h"
#include "platform/Window.h"

namespace tavopix {

// A character typed with or without Alt held, and the command it becomes.
struct AcceleratorEntry {
    char16_t character;
    bool alt;
    WORD command;
};

struct AcceleratorTable {
    UINT resourceId;
    std::span<const AcceleratorEntry> entries;
};

namespace {

constexpr std::array kFrameEntries{
    AcceleratorEntry{u'?', true, IDM_FRAME_HELP_KEY},
    AcceleratorEntry{u'/', true, IDM_FRAME_HELP_KEY},
};

constexpr std::array kTables{
    AcceleratorTable{IDR_FRAME_ACCELERATORS, kFrameEntries},
};

}  // namespace

HACCEL LoadAccelerators(UINT resourceId) {
    for (const AcceleratorTable& table : kTables) {
        if (table.resourceId == resourceId) {
            return &table;
        }
    }
    return nullptr;
}

bool DestroyAcceleratorTable(HACCEL table) {
    return table != nullptr;
}

bool TranslateAccelerator(HWND hwnd, HACCEL table, const MSG* msg) {
    if (!table || (msg->message != WM_CHAR && msg->message != WM_SYSCHAR) || !IsWindow(hwnd)) {
        return false;
    }
    const bool alt = msg->message == WM_SYSCHAR || (msg->lParam & KEY_DATA_ALT_DOWN) != 0;
    for (const AcceleratorEntry& entry : table->entries) {
        if (entry.character == msg->wParam && entry.alt == alt) {
            SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(entry.command, 1), 0);
            return true;
        }
    }
    return false;
}

}  // namespace tavopix
