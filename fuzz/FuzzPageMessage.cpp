// What a browser page sends the program: any text must decode into a message within the limits
// or be refused, never throw, overflow or recurse without bound.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "engine/browser/BrowserProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tavopix::PageMessage message;
    std::string error;
    if (!tavopix::DecodePageMessage(text, message, error)) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    if (const auto* input = std::get_if<tavopix::PageInput>(&message)) {
        const int limit = tavopix::kMaxPageCoordinate;
        if (input->text.size() > tavopix::kMaxValueUnits || input->page.x > limit ||
            input->page.x < -limit || input->screen.y > limit || input->screen.y < -limit) {
            __builtin_trap();
        }
    }
    if (const auto* answer = std::get_if<tavopix::PageAnswer>(&message)) {
        if (answer->rows.size() > tavopix::kMaxQuestionItems)
            __builtin_trap();
    }
    return 0;
}
