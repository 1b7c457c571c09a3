#include "engine/TextMetrics.h"

#include <algorithm>

#include "engine/Element.h"

namespace tavopix {

IntrinsicWidths EstimatedIntrinsicWidths(const Element& element) {
    const std::u16string text = element.InnerText();
    int longestWord = 0;
    int word = 0;
    for (const char16_t c : text) {
        word = c <= u' ' ? 0 : word + 1;
        longestWord = std::max(longestWord, word);
    }
    return {longestWord * kEstimatedCharWidth, static_cast<int>(text.size()) * kEstimatedCharWidth};
}

int EstimatedIntrinsicHeight(const Element& element, int width) {
    const int oneLine = EstimatedIntrinsicWidths(element).maxWidth;
    const int lines = width > 0 && oneLine > width ? (oneLine + width - 1) / width : 1;
    return lines * kEstimatedLineHeight;
}

}  // namespace tavopix
