// A readable, line-per-node text form of an element tree, for tests and diagnostics:
//
//   div class="loc" it="3"
//     "text"                      leading text
//     p class="uped" {left: 4px} [state 0x40] [value "x"]
//     "tail of p"
//
// Two spaces of indent per level; text is quoted with \n, \t, \" and \\ escaped, and every
// other control character as \uXXXX.
#pragma once

#include <string>

#include "engine/Change.h"

namespace tavopix {

class Element;

enum class DumpBlankText { Show, Skip };

std::string DumpTree(const Element& element, DumpBlankText blank = DumpBlankText::Skip);
std::string DumpTree(const NodeSnapshot& node, DumpBlankText blank = DumpBlankText::Skip);

}  // namespace tavopix
