// The messages between the program and its browser page, as JSON text, and the only place that
// writes or reads them. The program sends windows, whole pages, batches of changes and geometry
// questions; the page sends input, answers, moves of windows and its screen size. Everything a
// page shows passes through here, so this is where references to files become addresses of the
// local server.
//
// Program -> page, by field "t":
//   hello                          a page became active
//   win        {id, owner, doc, title, x, y, w, h, minW, minH, maxW, maxH, workW, workH,
//               visible, enabled, show: normal|min|max, active, fill}
//   winclose   {id}
//   doc        {doc, sheets: [{href?, text}], root: node}    a page from scratch; href is
//                                                           where a sheet's file is served
//   ops        {doc, seq, ops: [[kind, uid, ...]]}           kind: ins rm attr style state text
//                                                           tail value
//              ["value", uid, text, n] and a text area's ["text", uid, text, n]: n is the
//              page's last edit of that field the program had taken (0 or left out: none);
//              the page keeps its own text while it has later edits
//   docclose   {doc}
//   q          {id, what: loc|iw|ih|scroll, doc, u, area, width}, or
//              {id, what: locs, area, items: [[doc, u]]}     answered by "a"
//   scrollto   {doc, u, x, y, smooth}
//   popup      {doc, u, x, y}
//   hidepopup  {doc, u}
//   drag       {win, code, sx, sy}     the press at (sx, sy) hit a non-client zone
//   clip       {text}
//   open       {url}                   an address of the web in a tab of its own
//   takeover, quit
// A node is {u, g, a: [[name, value]], s: [[name, value]], st, x, l, v, c: [node]}; a field that
// would be empty (or 0) is left out.
//
// Page -> program:
//   a          {id, r: null | [n...] | [[n...]...]}
//   in         {win, k, u, x, y, ex, ey, sx, sy, b, m, i, dy, code, ch, v, n}   k: move over down
//              up dblclick leave wheel context keydown keyup char value focus scroll; a value
//              carries n, the number of the page's edit of that field (1, 2, ...)
//   move       {win, x, y, w, h}
//   sys        {win, cmd: restore|minimize|maximize|close}
//   screen     {w, h}
//   applied {seq}, bye                 notices the program does not act on
// The page is outside the program: its text is decoded into the structs below or refused with
// a reason, never trusted to have the right types, depth or size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "engine/Change.h"
#include "engine/Element.h"
#include "engine/View.h"

namespace tavopix {

// ---- Limits of what a page may send ------------------------------------------------------------
inline constexpr std::size_t kMaxPageMessageBytes = 1024 * 1024;
inline constexpr int kMaxPageMessageDepth = 4;  // an answer of rows: {"r": [[...]]}
// Typed characters per message (a key press gives one or two code units) and the text of a
// control's value.
inline constexpr std::size_t kMaxTypedUnits = 64;
inline constexpr std::size_t kMaxValueUnits = 64 * 1024;
// Elements one location question names; a larger batch is asked in several.
inline constexpr std::size_t kMaxQuestionItems = 2048;
// Coordinates and sizes from the page are kept within this, so sums of two never overflow.
inline constexpr int kMaxPageCoordinate = 1 << 24;

// ---- Program -> page ---------------------------------------------------------------------------

// Told of every file a page is given the address of (its absolute path in UTF-8), before the
// page can ask for it: the local server serves the files placed into pages, and no others
// beside the skin and the shell.
using FilePlacer = std::function<void(const std::string& path)>;

// Turns a page's reference to a file (absolute, relative to the page, or percent-escaped as the
// program writes paths into pages: PercentEscape, so it is decoded exactly once) into an
// address of the local server, relative to the shell page, and tells `placer` of the file;
// other references (http:, data:, #fragments) stay as they are. A trailing "?v=<digits>" (a
// picture's version, changed when the picture is) stays a query, so the browser fetches the
// new picture instead of showing the one it keeps.
std::u16string ServerAddressOf(const Document& document, std::u16string_view reference,
                               const FilePlacer* placer = nullptr);

// Rewrites every url(...) in a style value as ServerAddressOf, and gives a "cursor" value that
// names only a picture the fallback a browser requires.
std::u16string ServerStyleValue(const Document& document, std::string_view property,
                                std::u16string_view value, const FilePlacer* placer = nullptr);

enum class GeometryWhat { Location, IntrinsicWidths, IntrinsicHeight, Scroll, Locations };

struct ShownElement {
    std::uint32_t doc = 0;
    Element::Uid uid = 0;
};

struct GeometryQuestion {
    GeometryWhat what = GeometryWhat::Location;
    ShownElement element;             // all but Locations
    LocationArea area = 0;            // Location, Locations
    int width = 0;                    // IntrinsicHeight
    std::vector<ShownElement> items;  // Locations
};

std::string EncodeHello();
std::string EncodeQuit();
std::string EncodeTakeover();
std::string EncodeWindow(WindowKey window, std::uint32_t docId, const WindowPlacement& placement,
                         bool active, Rect workArea);
std::string EncodeWindowClosed(WindowKey window);
// The two that carry a page's elements tell `placer` of every file they give an address of.
std::string EncodeDocument(std::uint32_t docId, const Document& document,
                           const FilePlacer* placer = nullptr);
// By element: the number of the page's last edit of that field the program has taken.
using EditAcknowledgements = std::unordered_map<Element::Uid, std::uint64_t>;

std::string EncodeChanges(std::uint32_t docId, std::uint64_t seq, const Document& document,
                          const std::vector<Change>& changes,
                          const EditAcknowledgements* edits = nullptr,
                          const FilePlacer* placer = nullptr);
std::string EncodeDocumentClosed(std::uint32_t docId);
// With id 0 the text names the question alone, fit to look answers up by.
std::string EncodeQuestion(std::uint64_t id, const GeometryQuestion& question);
std::string EncodeScrollTo(ShownElement element, Point pos, bool smooth);
std::string EncodePopup(ShownElement element, Point anchor);
std::string EncodeHidePopup(ShownElement element);
std::string EncodeDrag(WindowKey window, long hitCode, Point screen);
std::string EncodeClipboard(std::u16string_view text);
std::string EncodeOpenTab(std::string_view url);

// ---- Page -> program ---------------------------------------------------------------------------

// `numbers` for a flat list, `rows` for a list of lists; both empty for null or any other shape.
struct PageAnswer {
    std::uint64_t id = 0;
    std::vector<int> numbers;
    std::vector<std::vector<int>> rows;
};

enum class PageInputKind {
    MouseMove,
    MouseDown,
    MouseUp,
    DoubleClick,
    MouseLeave,
    Wheel,
    Context,
    KeyDown,
    KeyUp,
    Char,
    Value,
    Focus,
    Scroll,
};

struct PageInput {
    PageInputKind kind = PageInputKind::MouseMove;
    WindowKey window = 0;
    Element::Uid uid = 0;
    Point page;     // x, y: in the page; for Scroll, the scroll position
    Point element;  // ex, ey: in the target's border box
    Point screen;   // sx, sy: on the desktop
    std::uint32_t buttons = 0;
    std::uint32_t keys = 0;  // 1 Ctrl, 2 Shift, 4 Alt
    bool onIcon = false;     // i: the press is left of the target's content, on its icon
    int wheel = 0;
    std::uint32_t keyCode = 0;
    std::u16string text;     // Char, Value
    std::uint64_t edit = 0;  // Value: the number of the page's edit of the field
};

struct PageMove {
    WindowKey window = 0;
    Point pos;
    Size size;
};

enum class PageSystemCommand { Restore, Minimize, Maximize, Close };

struct PageSystem {
    WindowKey window = 0;
    PageSystemCommand command = PageSystemCommand::Restore;
};

struct PageScreen {
    Size size;
};

struct PageNotice {};

using PageMessage =
    std::variant<PageAnswer, PageInput, PageMove, PageSystem, PageScreen, PageNotice>;

// Decodes one text frame of the page; false with `error` set when it is not a message the page
// sends (bad JSON, too large or too deep, an unknown kind, a field of the wrong type or range).
[[nodiscard]] bool DecodePageMessage(std::string_view text, PageMessage& message,
                                     std::string& error);

}  // namespace tavopix
