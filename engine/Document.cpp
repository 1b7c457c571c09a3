#include "engine/Document.h"

#include <algorithm>

#include "engine/HtmlParser.h"
#include "engine/View.h"
#include "engine/internal/WordList.h"
#include "platform/Utf8.h"
#include "platform/WholeFile.h"

namespace tavopix {

namespace {

// Documents with changes not yet handed to their view. Pages live on the UI thread.
std::vector<Document*>& QueuedDocuments() {
    thread_local std::vector<Document*> queued;
    return queued;
}

// A page or style sheet file as UTF-8, without a byte-order mark.
bool ReadTextFile(const std::u16string& path, std::string& bytes) {
    if (!ReadWholeFile(Utf16ToUtf8(path), bytes)) {
        return false;
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.erase(0, 3);
    }
    return true;
}

}  // namespace

Document::Document(std::u16string_view url) : url_(url) {}

Document::~Document() {
    auto& queued = QueuedDocuments();
    queued.erase(std::remove(queued.begin(), queued.end(), this), queued.end());
    if (view_) {
        view_->DocumentClosed(*this);
    }
    // Elements held elsewhere outlive the page; they must not point at it.
    if (root_) {
        root_->Adopt(nullptr);
    }
}

std::unique_ptr<Document> Document::LoadFile(std::u16string_view path) {
    std::string bytes;
    if (!ReadTextFile(std::u16string(path), bytes)) {
        return nullptr;
    }
    return FromHtml(bytes, path);
}

std::unique_ptr<Document> Document::FromHtml(std::string_view utf8, std::u16string_view url) {
    std::unique_ptr<Document> document(new Document(url));
    document->SetContent(utf8);
    return document;
}

void Document::SetContent(std::string_view utf8) {
    HtmlFragment fragment = ParseHtml(utf8);
    if (fragment.elements.size() == 1 && fragment.elements.front()->Tag() == "html") {
        root_ = fragment.elements.front();
    } else if (!fragment.elements.empty()) {
        root_ = Element::Create("html");
        root_->SetText(fragment.leadingText);
        for (const ElementRef& element : fragment.elements) {
            root_->AppendChild(element);
        }
    }
    if (root_) {
        root_->SetTail(u"");
        root_->Adopt(this);
        CollectStyleSheets();
    }
}

void Document::CollectStyleSheets() {
    for (Element* e = root_.get(); e; e = e->NextInOrder(root_.get())) {
        if (e->Tag() == "style") {
            sheets_.push_back({u"", Utf16ToUtf8(e->Text())});
        } else if (e->Tag() == "link") {
            const std::u16string* rel = e->GetAttribute("rel");
            const std::u16string* href = e->GetAttribute("href");
            std::string text;
            if (!rel || !href ||
                !ListHoldsWord(*rel, u"stylesheet", LetterCase::AsciiInsensitive)) {
                continue;
            }
            std::u16string url = ResolveUrl(*href);
            if (!ReadTextFile(url, text)) {
                continue;  // a missing sheet leaves the page unstyled, as a browser would
            }
            sheets_.push_back({std::move(url), std::move(text)});
        } else {
            continue;
        }
        styles_.Add(sheets_.back().text);
    }
}

Element* Document::Body() const {
    for (Element* e = root_.get(); e; e = e->NextInOrder(root_.get())) {
        if (e->Tag() == "body") {
            return e;
        }
    }
    return nullptr;
}

Element* Document::ElementByUid(Element::Uid uid) const {
    auto found = byUid_.find(uid);
    return found == byUid_.end() ? nullptr : found->second;
}

std::u16string Document::ResolveUrl(std::u16string_view reference) const {
    if (reference.starts_with(u"/") || reference.find(u"://") != std::u16string_view::npos) {
        return std::u16string(reference);
    }
    const std::size_t slash = url_.rfind(u'/');
    const std::u16string folder = slash == std::u16string::npos ? u"" : url_.substr(0, slash + 1);
    return folder + std::u16string(reference);
}

std::vector<std::string> Document::BehaviorsOf(const Element& element) const {
    return styles_.BehaviorsOf(element);
}

Element* Document::ContextMenuOf(const Element& element) const {
    const Selector* menu = styles_.ContextMenuOf(element);
    if (!menu || !root_) {
        return nullptr;
    }
    return root_->Matches(*menu) ? root_.get() : root_->FindFirst(*menu);
}

// ---- Change recording -------------------------------------------------------------------------

void Document::AttachView(View* view) {
    if (view == view_) {
        return;
    }
    if (view_) {
        view_->DocumentClosed(*this);
    }
    pending_.clear();
    view_ = view;
    if (view_) {
        Change reset;
        reset.kind = ChangeKind::Reset;
        Record(std::move(reset));
    }
}

void Document::Record(Change change) {
    if (!IsRecording()) {
        return;
    }
    if (!queued_) {
        QueuedDocuments().push_back(this);
        queued_ = true;
    }
    pending_.push_back(std::move(change));
}

void Document::FlushChanges() {
    if (!view_ || pending_.empty()) {
        return;
    }
    const std::vector<Change> batch = std::move(pending_);
    pending_.clear();
    view_->ApplyChanges(*this, batch);
}

void Document::FlushAllChanges() {
    const std::vector<Document*> queued = std::move(QueuedDocuments());
    QueuedDocuments().clear();
    for (Document* document : queued) {
        document->queued_ = false;
    }
    for (Document* document : queued) {
        document->FlushChanges();
    }
}

}  // namespace tavopix
