// Heap records carried by posted messages. PostOwned hands the record to the message and
// TakeOwned hands it back in the receiving window procedure, so the record is freed exactly once
// whatever happens to the message: handled, posted to a window that is gone, or dropped from
// the queue (the deleter PostOwned registers for the message number frees it there).
//
// The record travels in wParam; lParam is 0. A message number carries one record type for every
// window that receives it.
#pragma once

#include <memory>

#include "platform/MessageQueue.h"

namespace tavopix {

// Posts `message` carrying `record` to `hwnd`. False when it was not posted (the window is dead,
// or the number already carries another record type); the record is then freed here. Any thread.
template <class Record>
bool PostOwned(HWND hwnd, UINT message, std::unique_ptr<Record> record) {
    if (!RegisterMessageRecord(message, &DeleteWParamRecord<Record>)) {
        return false;
    }
    // Released before the post: once queued, the UI thread may drop and free it at any moment.
    Record* raw = record.release();
    if (!PostMessage(hwnd, message, reinterpret_cast<WPARAM>(raw), 0)) {
        delete raw;
        return false;
    }
    return true;
}

// The record of a message posted with PostOwned; the handler owns it from here on.
template <class Record>
std::unique_ptr<Record> TakeOwned(WPARAM wParam) {
    return std::unique_ptr<Record>(reinterpret_cast<Record*>(wParam));
}

}  // namespace tavopix
