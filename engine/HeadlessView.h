// A view without a screen, for tests: it applies every batch of changes to an in-memory mirror
// of each document, so a test can compare the mirror with the DOM after any edits, and it
// answers geometry from values the test sets per element (by selector or by element) with
// defaults derived from the text when nothing was set.
//
// Defaults: location {0, 0, 0, 0}; intrinsic widths from an 8-pixel character cell (minimum:
// the longest word of the inner text, maximum: the whole text on one line); intrinsic height:
// 16 pixels per line of the maximum width wrapped at the given width (at least one line);
// scroll info: nothing scrolls; screen 1920 x 1080 with a 1920 x 1040 work area.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/Element.h"
#include "engine/Selector.h"
#include "engine/View.h"

namespace tavopix {

class HeadlessView : public View {
public:
    HeadlessView();
    ~HeadlessView() override;

    // ---- The mirror ---------------------------------------------------------------------------
    // The mirror of `document` in the form of DumpTree (TreeDump.h) with blank text shown;
    // empty when the view holds nothing for it.
    std::string MirrorDump(const Document& document) const;
    std::size_t BatchCount() const { return batches_; }
    std::size_t ChangeCount() const { return changes_; }
    // Faults met while applying changes (an unknown uid, a bad index); empty when all applied.
    const std::vector<std::string>& Faults() const { return faults_; }

    // ---- Scripted geometry (later settings win over earlier ones) -----------------------------
    // `contentBox` defaults to the border box.
    void SetLocation(std::string_view selector, Rect borderBox,
                     std::optional<Rect> contentBox = std::nullopt);
    void SetLocation(const Element& element, Rect borderBox,
                     std::optional<Rect> contentBox = std::nullopt);
    void SetIntrinsicWidths(std::string_view selector, IntrinsicWidths widths);
    void SetIntrinsicHeight(std::string_view selector, std::function<int(int width)> height);
    void SetScrollInfo(std::string_view selector, ScrollInfo info);
    void SetScreen(Size screen, Rect workArea);
    // The windows as last placed.
    const std::map<WindowKey, WindowPlacement>& Windows() const { return windows_; }
    // The last SetElementScrollPos call per element uid.
    std::optional<Point> LastScrollPos(const Element& element) const;
    // The text last put on the clipboard.
    const std::u16string& ClipboardText() const { return clipboard_; }

    // ---- View ---------------------------------------------------------------------------------
    void ApplyChanges(const Document& document, const std::vector<Change>& changes) override;
    void DocumentClosed(const Document& document) override;
    Rect ElementLocation(const Element& element, LocationArea area) override;
    std::vector<Rect> ElementLocations(std::span<const Element* const> elements,
                                       LocationArea area) override;
    IntrinsicWidths ElementIntrinsicWidths(const Element& element) override;
    int ElementIntrinsicHeight(const Element& element, int width) override;
    ScrollInfo ElementScrollInfo(const Element& element) override;
    void SetElementScrollPos(const Element& element, Point pos, bool smooth) override;
    void CopyToClipboard(std::u16string_view text) override { clipboard_ = text; }
    Size ScreenSize() override { return screen_; }
    Rect WorkArea() override { return workArea_; }
    void PlaceWindow(WindowKey window, const WindowPlacement& placement) override;
    void RemoveWindow(WindowKey window) override;

private:
    struct Mirror;
    template <class Value>
    struct Rule {
        std::optional<Selector> selector;  // or, when absent, the element with this uid
        Element::Uid uid = 0;
        Value value;
    };
    template <class Value>
    static const Value* Find(const std::vector<Rule<Value>>& rules, const Element& element);
    void Fault(std::string text) { faults_.push_back(std::move(text)); }

    std::unordered_map<const Document*, std::unique_ptr<Mirror>> mirrors_;
    std::size_t batches_ = 0;
    std::size_t changes_ = 0;
    std::vector<std::string> faults_;

    struct Boxes {
        Rect border;
        Rect content;
    };
    std::vector<Rule<Boxes>> locations_;
    std::vector<Rule<IntrinsicWidths>> widths_;
    std::vector<Rule<std::function<int(int)>>> heights_;
    std::vector<Rule<ScrollInfo>> scrolls_;
    std::unordered_map<Element::Uid, Point> scrollPos_;
    Size screen_{1920, 1080};
    Rect workArea_{0, 0, 1920, 1040};
    std::map<WindowKey, WindowPlacement> windows_;
    std::u16string clipboard_;
};

}  // namespace tavopix
