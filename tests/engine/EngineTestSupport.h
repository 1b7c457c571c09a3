// Helpers shared by the engine tests: reading the data files, and the dump of a parsed
// fragment.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/HtmlParser.h"
#include "engine/TreeDump.h"

namespace tavopix::test {

inline std::string DataPath(const std::string& name) {
    return TAVOPIX_ENGINE_TEST_DATA + name;
}

inline std::string ReadData(const std::string& name) {
    std::ifstream file(DataPath(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Expected dumps are rewritten instead of compared when TAVOPIX_UPDATE_DUMPS is set; review the
// diff before committing.
inline bool UpdatingDumps() {
    return std::getenv("TAVOPIX_UPDATE_DUMPS") != nullptr;
}

inline void WriteData(const std::string& name, const std::string& text) {
    std::ofstream(DataPath(name), std::ios::binary) << text;
}

// The fragment under a "fragment" element, every text shown.
inline std::string DumpFragment(std::string_view html) {
    HtmlFragment fragment = ParseHtml(html);
    ElementRef holder = Element::Create("fragment");
    holder->SetText(fragment.leadingText);
    for (const ElementRef& element : fragment.elements) {
        holder->AppendChild(element);
    }
    return DumpTree(*holder, DumpBlankText::Show);
}

// The whole page in the form the headless view's mirror dump takes.
inline std::string DumpTreeOf(const Document& page) {
    return page.Root() ? DumpTree(*page.Root(), DumpBlankText::Show) : std::string();
}

}  // namespace tavopix::test
