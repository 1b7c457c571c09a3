#include "library/views/FolderTree.h"

#include <vector>

#include "app/HtmlEscape.h"
#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "app/TextFile.h"
#include "engine/Element.h"
#include "library/data/LineSafe.h"

namespace tavopix {
namespace {

constexpr std::string_view kBranchTag = "options";
constexpr std::string_view kLeafTag = "option";

Element* CaptionOf(const Element& node) {
    Element* first = node.FirstChild();
    return first != nullptr && first->Tag() == "caption" ? first : nullptr;
}

// The decimal number at the start of `text`; 0 when there is none, the largest count when it
// does not fit.
unsigned ParseCount(std::u16string_view text) {
    unsigned long long value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') {
            break;
        }
        value = value * 10 + static_cast<unsigned>(c - u'0');
        if (value > 0xFFFFFFFFull) {
            return 0xFFFFFFFFu;
        }
    }
    return static_cast<unsigned>(value);
}

unsigned CountAttribute(const Element& caption, std::string_view name) {
    const std::u16string* value = caption.GetAttribute(name);
    return value != nullptr ? ParseCount(*value) : 0;
}

std::u16string Number(unsigned value) {
    return FromUtf8(std::to_string(value));
}

// Shows ns + nc in the caption's ".num" span.
void ShowTotal(Element& caption, unsigned total) {
    if (Element* num = caption.FindFirst(".num")) {
        num->SetInnerText(u"(" + Number(total) + u")");
    }
}

void AppendHtml(Element& parent, const std::u16string& html) {
    std::string utf8;
    ToUtf8(html, utf8);
    static_cast<void>(parent.SetHtml(utf8, SIH_APPEND_AFTER_LAST));
}

// One cache line: the path in double quotes, a blank, the count. The path is written as it is,
// double quotes and blanks included; ReadCacheLine takes it back by the line's last blank.
bool AppendCacheLine(std::u16string_view path, unsigned count, std::u16string& text) {
    if (!IsLineSafe(path)) {
        return false;
    }
    text += u'"';
    text += path;
    text += u"\" ";
    text += Number(count);
    text += u"\r\n";
    return true;
}

// Reads a cache line back: the count is the text after the last blank, the path what the
// double quotes enclose before it. Reading by the last blank, not up to the next quote, takes
// back any path, one holding quotes and blanks too. A path before the blank that is not quoted
// is taken as it stands. False for a line without a blank.
bool ReadCacheLine(std::u16string_view line, std::u16string& path, unsigned& count) {
    const std::size_t blank = line.rfind(u' ');
    if (blank == std::u16string_view::npos) {
        return false;
    }
    std::u16string_view quoted = line.substr(0, blank);
    if (quoted.size() >= 2 && quoted.front() == u'"' && quoted.back() == u'"') {
        quoted = quoted.substr(1, quoted.size() - 2);
    }
    path.assign(quoted);
    count = ParseCount(line.substr(blank + 1));
    return true;
}

}  // namespace

void FolderTree::Bind(Element* treeView) {
    treeView_ = ElementRef(treeView);
    nodes_.clear();
}

void FolderTree::Clear() {
    nodes_.clear();
    if (Element* tree = treeView_.get()) {
        tree->RemoveContent();
        tree->SetScrollPos({0, 0}, true);
    }
}

Element* FolderTree::NodeOf(std::u16string_view path) const {
    const auto found = nodes_.find(std::u16string(path));
    return found != nodes_.end() ? found->second.get() : nullptr;
}

void FolderTree::AddFolderResult(std::u16string_view path, unsigned count) {
    if (path.empty() || !treeView_) {
        return;
    }
    if (SetDirectCount(path, count) || count == 0) {
        return;
    }
    if (presentation_ == FolderPresentation::List) {
        AddToList(path, count);
    } else {
        AddToTree(path, count);
    }
}

void FolderTree::AddToList(std::u16string_view path, unsigned count) {
    const PathClass kind = ClassifyPath(path);
    const std::u16string number = Number(count);
    AppendHtml(*treeView_, u"<option rt=\"true\"><caption tp=\"" + HtmlEscape(kind.kind) +
                               u"\" path=\"" + HtmlEscape(path) + u"\" ns=\"" + number +
                               u"\" ><span .cp><span .tl>" + HtmlEscape(kind.display) +
                               u"</span><span .num>(" + number +
                               u")</span></span></caption></option>");
    nodes_[std::u16string(path)] = ElementRef(treeView_->LastChild());
}

void FolderTree::AddToTree(std::u16string_view path, unsigned count) {
    // The folders along the path: the token or drive root first, the path itself last.
    std::vector<std::u16string> prefixes;
    std::u16string head;
    for (int end = PathHead(path, 0, head); end > 0 && head.size() <= path.size();
         end = PathHead(path, end, head)) {
        prefixes.push_back(head);
        if (head.size() == path.size()) {
            break;
        }
    }
    if (prefixes.empty() || prefixes.back() != path) {
        prefixes.emplace_back(path);
    }

    Element* current = treeView_.get();
    std::size_t level = 0;
    for (; level < prefixes.size(); ++level) {
        Element* node = NodeOf(prefixes[level]);
        if (node == nullptr) {
            break;
        }
        Element* caption = CaptionOf(*node);
        if (caption == nullptr) {
            break;
        }
        const unsigned nc = CountAttribute(*caption, "nc") + count;
        caption->SetAttribute("nc", Number(nc));
        ShowTotal(*caption, CountAttribute(*caption, "ns") + nc);
        // A known folder above the reported one now has a folder node below it.
        if (node->Tag() == kLeafTag) {
            node = Retag(*node, kBranchTag);
        }
        current = node;
    }
    for (; level < prefixes.size(); ++level) {
        const bool self = level + 1 == prefixes.size();
        current = AppendNode(*current, prefixes[level], self ? count : 0, self ? 0 : count, !self);
        if (current == nullptr) {
            return;
        }
    }
}

Element* FolderTree::AppendNode(Element& parent, std::u16string_view path, unsigned ns, unsigned nc,
                                bool branch) {
    const bool top = &parent == treeView_.get();
    const PathClass kind = ClassifyPath(path);
    std::u16string html = branch ? u"<options" : u"<option";
    if (top) {
        html += branch ? u" expanded rt=\"true\"" : u" rt=\"true\"";
    }
    html += u"><caption tp=\"" + HtmlEscape(kind.kind) + u"\" path=\"" + HtmlEscape(path) +
            (branch ? u"\" ns=\"" : u"\"  ns=\"") + Number(ns) + u"\" nc=\"" + Number(nc) +
            u"\" ><span .cp><span .tl>" + HtmlEscape(kind.display) + u"</span><span .num>(" +
            Number(ns + nc) + u")</span></span></caption>" +
            (branch ? u"</options>" : u"</option>");
    AppendHtml(parent, html);
    Element* node = parent.LastChild();
    if (node != nullptr) {
        nodes_[std::u16string(path)] = ElementRef(node);
    }
    return node;
}

Element* FolderTree::Retag(Element& node, std::string_view tag) {
    Element* parent = node.Parent();
    const std::string old = node.Tag();
    std::string html = node.OuterHtml();
    const std::string closing = "</" + old + ">";
    if (parent == nullptr || !html.starts_with("<" + old) || !html.ends_with(closing)) {
        return &node;
    }
    html = "<" + std::string(tag) +
           html.substr(1 + old.size(), html.size() - 1 - old.size() - closing.size()) + "</" +
           std::string(tag) + ">";
    const int index = node.Index();
    const ElementRef keep(&node);
    if (!node.SetHtml(html, SOH_REPLACE)) {
        return &node;
    }
    Element* renamed = parent->Child(static_cast<std::size_t>(index));
    if (renamed == nullptr) {
        return &node;
    }
    if (const Element* caption = CaptionOf(*renamed)) {
        if (const std::u16string* path = caption->GetAttribute("path")) {
            nodes_[*path] = ElementRef(renamed);
        }
    }
    return renamed;
}

void FolderTree::RemoveNode(Element& node) {
    if (const Element* caption = CaptionOf(node)) {
        if (const std::u16string* path = caption->GetAttribute("path")) {
            nodes_.erase(*path);
        }
    }
    node.Detach();
}

bool FolderTree::SetDirectCount(std::u16string_view path, unsigned count) {
    Element* node = NodeOf(path);
    Element* caption = node != nullptr ? CaptionOf(*node) : nullptr;
    if (caption == nullptr) {
        return false;
    }
    const unsigned oldNs = CountAttribute(*caption, "ns");
    const unsigned nc = CountAttribute(*caption, "nc");
    // The change travels up as a signed difference; counts stay far below 2^31.
    const long long delta = static_cast<long long>(count) - oldNs;
    Element* parent = node->Parent();
    const ElementRef keep(node);
    if (static_cast<unsigned long long>(count) + nc > 0) {
        caption->SetAttribute("ns", Number(count));
        ShowTotal(*caption, count + nc);
    } else {
        RemoveNode(*node);
    }
    while (parent != nullptr && parent->Tag() == kBranchTag) {
        Element* parentCaption = CaptionOf(*parent);
        if (parentCaption == nullptr) {
            break;
        }
        Element* above = parent->Parent();
        const unsigned ns = CountAttribute(*parentCaption, "ns");
        const long long newNc =
            static_cast<long long>(CountAttribute(*parentCaption, "nc")) + delta;
        const unsigned parentNc = newNc > 0 ? static_cast<unsigned>(newNc) : 0;
        if (static_cast<unsigned long long>(ns) + parentNc > 0) {
            parentCaption->SetAttribute("nc", Number(parentNc));
            ShowTotal(*parentCaption, ns + parentNc);
            if (parent->ChildCount() < 2) {
                Retag(*parent, kLeafTag);
            }
        } else {
            RemoveNode(*parent);
        }
        parent = above;
    }
    return true;
}

bool FolderTree::LoadCache(const std::u16string& file) {
    std::u16string text;
    if (!ReadTextFile(file, text) || text.empty()) {
        return false;
    }
    std::u16string line;
    std::u16string path;
    unsigned count = 0;
    for (int next = ReadLine(text, line, 0); next >= 0; next = ReadLine(text, line, next)) {
        if (ReadCacheLine(line, path, count)) {
            AddFolderResult(path, count);
        }
    }
    return true;
}

bool FolderTree::SaveCache(const std::u16string& file) const {
    std::u16string text;
    if (Element* tree = treeView_.get()) {
        tree->SelectElements("caption[ns]", [&](Element& caption) {
            const unsigned ns = CountAttribute(caption, "ns");
            const std::u16string* path = caption.GetAttribute("path");
            if (ns > 0 && path != nullptr) {
                AppendCacheLine(*path, ns, text);
            }
            return Walk::Continue;
        });
    }
    return WriteTextFile(file, text);
}

}  // namespace tavopix
