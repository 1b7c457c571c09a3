// A page: its element tree, the style sheets it loaded, and the changes it records for its
// view.
//
// Pages load from a file in the page dialect (HtmlParser.h) with their style sheets (<link
// rel="stylesheet" href> relative to the page, and <style> blocks). The engine reads from the
// CSS only what is its own business, the `behavior:` names and the `context-menu:` references
// (StyleSheet.h); the view does the styling from the sheets' text.
//
// Changes: while a view is attached, every edit of an element in the document is recorded
// (Change.h) and handed to the view by `FlushChanges`, which the message loop calls after each
// dispatched message through `FlushAllChanges`. Attaching a view records the whole tree first,
// so a view that attaches late (a reconnecting browser) starts from the full state.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/Change.h"
#include "engine/Element.h"
#include "engine/internal/StyleSheet.h"

namespace tavopix {

class View;

struct StyleSheetSource {
    std::u16string url;  // absolute path of the sheet's file; empty for a <style> block
    std::string text;    // UTF-8
};

class Document {
public:
    // Null when the file cannot be read.
    [[nodiscard]] static std::unique_ptr<Document> LoadFile(std::u16string_view path);
    // A page from text; `url` is where it would live, the base of its relative references.
    [[nodiscard]] static std::unique_ptr<Document> FromHtml(std::string_view utf8,
                                                            std::u16string_view url);

    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    ~Document();

    // The page's single top-level "html" element, or a synthetic "html" holding its top-level
    // elements; null for a page without any element.
    Element* Root() const { return root_.get(); }
    // The first "body" element; null when there is none.
    Element* Body() const;
    Element* ElementByUid(Element::Uid uid) const;

    const std::u16string& Url() const { return url_; }
    // `reference` resolved against the folder of the page; absolute paths stay as they are.
    std::u16string ResolveUrl(std::u16string_view reference) const;

    const std::vector<StyleSheetSource>& StyleSheets() const { return sheets_; }
    const StyleSheet& Styles() const { return styles_; }
    // The behaviour names the style sheets (and the element's own "style" attribute) give the
    // element, in the order written; empty when none.
    std::vector<std::string> BehaviorsOf(const Element& element) const;
    // The menu element that the style gives the element as its context menu; null when none.
    Element* ContextMenuOf(const Element& element) const;

    // ---- Change recording ---------------------------------------------------------------------
    // Attaches `view` (null detaches). The whole tree is recorded as a Reset change, which the
    // view reads from the document when the batch is handed over: edits made until then are
    // part of it and are not recorded one by one (a page filled before it is first shown goes
    // out as one tree). The view must outlive the document or be detached first.
    void AttachView(View* view);
    View* GetView() const { return view_; }
    bool IsRecording() const { return view_ != nullptr && !ResetPending(); }
    void Record(Change change);
    bool HasPendingChanges() const { return !pending_.empty(); }
    // Hands the pending changes to the view in one batch.
    void FlushChanges();
    // Flushes every document that has pending changes.
    static void FlushAllChanges();

private:
    friend class Element;

    explicit Document(std::u16string_view url);
    void SetContent(std::string_view utf8);
    void CollectStyleSheets();
    void Register(Element& element) { byUid_[element.GetUid()] = &element; }
    void Unregister(const Element& element) { byUid_.erase(element.GetUid()); }
    bool ResetPending() const {
        return !pending_.empty() && pending_.front().kind == ChangeKind::Reset;
    }

    std::u16string url_;
    ElementRef root_;
    std::vector<StyleSheetSource> sheets_;
    StyleSheet styles_;
    std::unordered_map<Element::Uid, Element*> byUid_;
    View* view_ = nullptr;
    std::vector<Change> pending_;
    bool queued_ = false;  // in the list FlushAllChanges works through
};

}  // namespace tavopix
