#include "platform/WindowObserver.h"

#include "platform/internal/UiThread.h"

namespace tavopix {

void AddWindowObserver(WindowObserver* observer) {
    internal::UiThread::Get().AddObserver(observer);
}

void RemoveWindowObserver(WindowObserver* observer) {
    internal::UiThread::Get().RemoveObserver(observer);
}

}  // namespace tavopix
