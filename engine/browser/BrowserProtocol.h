// The messages between the program and its browser page, as JSON text. The program sends
// windows, whole pages, batches of changes and geometry questions; the page sends input,
// answers, moves of windows and its screen size. Everything a page shows passes through here,
// so this is where references to files become addresses of the local server.
//
// Program → page (field "t"):
//   hello                                   a page became active
//   win {id, owner, doc, title, x, y, w, h, minW, minH, maxW, maxH, workW, workH,
//        visible, enabled, show: normal|min|max, active}
//   winclose {id}
//   doc {doc, sheets: [{href}|{text}], root: node}       a page from scratch
//   ops {doc, seq, ops: [[kind, uid, …]]}                 kind: ins rm attr style state text tail
//   value docclose {doc} q {id, doc, u, what: loc|iw|ih|scroll|screen, area, width}   answered by a
//   {id, r} scrollto {doc, u, x, y, smooth} drag {win, code, sx, sy}                  the press at
//   (sx, sy) hit a non-client zone clip {text} quit
// A node is {u, g, a: [[name, value]], s: [[name, value]], st, x, l, v?, c: [node]}.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Change.h"
#include "engine/View.h"

namespace tavopix {

// Turns a page's reference to a file (absolute, relative to the page, or percent-escaped as the
// program writes paths into pages) into an address of the local server; other references
// (http:, data:, #fragments) stay as they are.
std::u16string ServerAddressOf(const Document& document, std::u16string_view reference);

// Rewrites every url(...) in a style value as ServerAddressOf, and gives a "cursor" value that
// names only a picture the fallback a browser requires.
std::u16string ServerStyleValue(const Document& document, std::string_view property,
                                std::u16string_view value);

std::string EncodeWindow(WindowKey window, std::uint32_t docId, const WindowPlacement& placement,
                         bool active, Rect workArea);
std::string EncodeDocument(std::uint32_t docId, const Document& document);
std::string EncodeChanges(std::uint32_t docId, std::uint64_t seq, const Document& document,
                          const std::vector<Change>& changes);

}  // namespace tavopix
