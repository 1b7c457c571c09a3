#include "library/views/FolderTree.h"

#include <algorithm>
#include <utility>
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
// A node at the top: a branch made there opens expanded; one made a branch later keeps the
// attributes it was made with.
constexpr std::u16string_view kTopBranchAttributes = u" expanded rt=\"true\"";
constexpr std::u16string_view kTopLeafAttributes = u" rt=\"true\"";

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

// The folders along `path`: the token or drive root first, the path itself last.
std::vector<std::u16string> PathPrefixes(std::u16string_view path) {
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
    return prefixes;
}

// A tree node's markup up to its caption's end; `topAttributes` are those of a node at the top.
std::u16string NodeStart(std::u16string_view path, unsigned ns, unsigned nc, bool branch,
                         std::u16string_view topAttributes) {
    const PathClass kind = ClassifyPath(path);
    std::u16string html = branch ? u"<options" : u"<option";
    html += topAttributes;
    html += u"><caption tp=\"" + HtmlEscape(kind.kind) + u"\" path=\"" + HtmlEscape(path) +
            (branch ? u"\" ns=\"" : u"\"  ns=\"") + Number(ns) + u"\" nc=\"" + Number(nc) +
            u"\" ><span .cp><span .tl>" + HtmlEscape(kind.display) + u"</span><span .num>(" +
            Number(ns + nc) + u")</span></span></caption>";
    return html;
}

std::u16string_view NodeEnd(bool branch) {
    return branch ? u"</options>" : u"</option>";
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
    static_cast<void>(treeView_->SetHtml(
        u"<option rt=\"true\"><caption tp=\"" + HtmlEscape(kind.kind) + u"\" path=\"" +
            HtmlEscape(path) + u"\" ns=\"" + number + u"\" ><span .cp><span .tl>" +
            HtmlEscape(kind.display) + u"</span><span .num>(" + number +
            u")</span></span></caption></option>",
        SIH_APPEND_AFTER_LAST));
    nodes_[std::u16string(path)] = ElementRef(treeView_->LastChild());
}

void FolderTree::AddToTree(std::u16string_view path, unsigned count) {
    const std::vector<std::u16string> prefixes = PathPrefixes(path);
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
    const std::u16string_view topAttributes = !top     ? u""
                                              : branch ? kTopBranchAttributes
                                                       : kTopLeafAttributes;
    std::u16string html = NodeStart(path, ns, nc, branch, topAttributes);
    html += NodeEnd(branch);
    static_cast<void>(parent.SetHtml(html, SIH_APPEND_AFTER_LAST));
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
    std::vector<std::pair<std::u16string, unsigned>> folders;
    std::u16string line;
    std::u16string path;
    unsigned count = 0;
    for (int next = ReadLine(text, line, 0); next >= 0; next = ReadLine(text, line, next)) {
        if (ReadCacheLine(line, path, count) && !path.empty()) {
            folders.emplace_back(path, count);
        }
    }
    // An empty tree takes the cache in one piece; a line without pictures would remove nodes,
    // which only the folder-by-folder way does.
    const bool whole = treeView_ && nodes_.empty() && treeView_->ChildCount() == 0 &&
                       presentation_ == FolderPresentation::Tree &&
                       std::ranges::none_of(folders, [](const auto& f) { return f.second == 0; });
    if (whole) {
        BuildWhole(folders);
    } else {
        for (const auto& [folderPath, folderCount] : folders) {
            AddFolderResult(folderPath, folderCount);
        }
    }
    return true;
}

// The tree of `folders` (none without pictures) built apart, as AddFolderResult would build it
// folder by folder, and put into the empty tree as one piece of markup: the page parses it once
// instead of once per folder, which for tens of thousands of folders was most of the start.
void FolderTree::BuildWhole(const std::vector<std::pair<std::u16string, unsigned>>& folders) {
    struct Planned {
        std::u16string path;
        unsigned ns = 0;
        unsigned nc = 0;
        bool expanded = false;
        std::size_t parent = 0;
        std::vector<std::size_t> children;
    };
    std::vector<Planned> plan(1);  // [0] stands for the tree element itself
    std::unordered_map<std::u16string, std::size_t> index;
    for (const auto& [path, count] : folders) {
        if (const auto known = index.find(path); known != index.end()) {
            // A folder seen before (above an earlier one): its count, the difference carried up.
            Planned& node = plan[known->second];
            const unsigned old = node.ns;
            node.ns = count;
            for (std::size_t up = node.parent; up != 0; up = plan[up].parent) {
                plan[up].nc = plan[up].nc - old + count;
            }
            continue;
        }
        std::size_t current = 0;
        const std::vector<std::u16string> prefixes = PathPrefixes(path);
        for (std::size_t level = 0; level < prefixes.size(); ++level) {
            const bool self = level + 1 == prefixes.size();
            if (const auto known = index.find(prefixes[level]); known != index.end()) {
                current = known->second;
                plan[current].nc += count;
                continue;
            }
            Planned node{prefixes[level],       self ? count : 0, self ? 0 : count,
                         current == 0 && !self, current,          {}};
            plan.push_back(std::move(node));
            const std::size_t added = plan.size() - 1;
            plan[current].children.push_back(added);
            index.emplace(prefixes[level], added);
            current = added;
        }
    }

    // Depth first: each node's start, then its children, then its end.
    std::u16string html;
    std::vector<std::pair<std::size_t, std::size_t>> stack{{0, 0}};  // node, next child
    while (!stack.empty()) {
        auto& [at, next] = stack.back();
        const Planned& node = plan[at];
        if (next < node.children.size()) {
            const std::size_t child = node.children[next++];
            const Planned& entry = plan[child];
            const bool branch = !entry.children.empty();
            html += NodeStart(entry.path, entry.ns, entry.nc, branch,
                              at != 0          ? u""
                              : entry.expanded ? kTopBranchAttributes
                                               : kTopLeafAttributes);
            stack.emplace_back(child, 0);
            continue;
        }
        if (at != 0) {
            html += NodeEnd(!node.children.empty());
        }
        stack.pop_back();
    }
    static_cast<void>(treeView_->SetHtml(html, SIH_APPEND_AFTER_LAST));

    // The page's nodes in the same order: a node's folder nodes follow its caption.
    nodes_.reserve(plan.size());
    std::vector<std::pair<std::size_t, Element*>> pending{{0, treeView_.get()}};
    while (!pending.empty()) {
        const auto [at, element] = pending.back();
        pending.pop_back();
        const std::size_t first = at == 0 ? 0 : 1;
        for (std::size_t i = 0; i < plan[at].children.size(); ++i) {
            Element* child = element->Child(first + i);
            if (child == nullptr) {
                break;
            }
            const std::size_t planned = plan[at].children[i];
            nodes_[plan[planned].path] = ElementRef(child);
            pending.emplace_back(planned, child);
        }
    }
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
