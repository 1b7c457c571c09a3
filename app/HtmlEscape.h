// Text put into generated HTML: file names, paths and other values the program does not control
// are escaped, so a folder called "Tom & Jerry" or a file named `a"<b>.jpg` shows as the text it
// is, in element content and inside quoted attribute values alike.
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

// `text` with & < > " and ' written as character references.
inline std::u16string HtmlEscape(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        switch (c) {
            case u'&':
                out += u"&amp;";
                break;
            case u'<':
                out += u"&lt;";
                break;
            case u'>':
                out += u"&gt;";
                break;
            case u'"':
                out += u"&quot;";
                break;
            case u'\'':
                out += u"&#39;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

}  // namespace tavopix
