#include "sdk/internal/Utf16Text.h"

#include <cstdlib>
#include <cstring>

#include "platform/LastError.h"

namespace tavopix::sdk {

std::u16string_view TextOf(const char16_t* text) {
    return text ? std::u16string_view(text) : std::u16string_view();
}

char16_t* NewTextBuffer(std::u16string_view text) {
    auto* buffer = static_cast<char16_t*>(std::malloc((text.size() + 1) * sizeof(char16_t)));
    if (buffer) {
        if (!text.empty()) {
            std::memcpy(buffer, text.data(), text.size() * sizeof(char16_t));
        }
        buffer[text.size()] = u'\0';
    }
    return buffer;
}

bool HandOutText(std::u16string_view text, char16_t** buffer) {
    *buffer = NewTextBuffer(text);
    if (!*buffer) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

}  // namespace tavopix::sdk
