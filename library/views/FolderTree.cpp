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
// A collapsed branch with this many folders directly below it holds them until it is opened;
// fewer cost the page and the engine less than building them later would.
constexpr std::size_t kHeldFrom = 32;

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

std::u16string PathOf(const Element& caption) {
    const std::u16string* path = caption.GetAttribute("path");
    return path != nullptr ? *path : std::u16string();
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
    ForgetPlan();
}

void FolderTree::Clear() {
    nodes_.clear();
    ForgetPlan();
    if (Element* tree = treeView_.get()) {
        tree->RemoveContent();
        tree->SetScrollPos({0, 0}, true);
    }
}

void FolderTree::ForgetPlan() {
    plan_.clear();
    held_.clear();
    heldBelow_.clear();
}

Element* FolderTree::NodeOf(std::u16string_view path) {
    const std::u16string key(path);
    if (const auto held = held_.find(key); held != held_.end()) {
        BuildHeldAbove(held->second);
    }
    const auto found = nodes_.find(key);
    return found != nodes_.end() ? found->second.get() : nullptr;
}

void FolderTree::BuildHeldFolders(const Element& node) {
    const Element* caption = CaptionOf(node);
    const std::u16string* path = caption != nullptr ? caption->GetAttribute("path") : nullptr;
    if (path == nullptr) {
        return;
    }
    if (const auto holding = heldBelow_.find(*path); holding != heldBelow_.end()) {
        BuildHeld(holding->second);
    }
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
        const auto built = nodes_.find(prefixes[level]);
        Element* node = built != nodes_.end() ? built->second.get() : nullptr;
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
        if (const auto holding = heldBelow_.find(prefixes[level]); holding != heldBelow_.end()) {
            PlanFolders(holding->second, prefixes, level + 1, count);
            return;
        }
    }
    Element* below = current;
    for (; level < prefixes.size(); ++level) {
        const bool self = level + 1 == prefixes.size();
        current = AppendNode(*current, prefixes[level], self ? count : 0, self ? 0 : count, !self);
        if (current == nullptr) {
            return;
        }
    }
    HoldIfLarge(*below);
}

// The folders `prefixes[from..]` below the planned folder `at` (the tree itself for 0), the last
// with `count` pictures directly in it, into the plan; a branch new at the top opens expanded.
void FolderTree::PlanFolders(std::size_t at, const std::vector<std::u16string>& prefixes,
                             std::size_t from, unsigned count) {
    for (std::size_t level = from; level < prefixes.size(); ++level) {
        const bool self = level + 1 == prefixes.size();
        if (const auto known = held_.find(prefixes[level]); known != held_.end()) {
            at = known->second;
            plan_[at].nc += count;
            continue;
        }
        plan_.push_back(
            Planned{prefixes[level], self ? count : 0, self ? 0 : count, at == 0 && !self, at, {}});
        const std::size_t added = plan_.size() - 1;
        plan_[at].children.push_back(added);
        held_.emplace(prefixes[level], added);
        at = added;
    }
}

// A collapsed branch that has come to kHeldFrom folders below it takes them out of the engine
// into the plan, as one loaded from the cache holds them; not while one of them is selected
// or expanded, which the user would see undone.
void FolderTree::HoldIfLarge(Element& branch) {
    const Element* caption = CaptionOf(branch);
    const std::u16string* path = caption != nullptr ? caption->GetAttribute("path") : nullptr;
    if (path == nullptr || branch.Tag() != kBranchTag || branch.HasState(STATE_EXPANDED) ||
        branch.ChildCount() < kHeldFrom + 1 || heldBelow_.contains(*path) ||
        branch.FindFirst("options:expanded, .cp[sel=\"true\"]") != nullptr) {
        return;
    }
    if (plan_.empty()) {
        plan_.resize(1);
    }
    plan_.push_back(Planned{
        *path, CountAttribute(*caption, "ns"), CountAttribute(*caption, "nc"), false, 0, {}});
    const std::size_t at = plan_.size() - 1;
    PlanBuilt(branch, at);
    heldBelow_.emplace(*path, at);
    while (branch.ChildCount() > 1) {
        branch.LastChild()->Detach();
    }
}

// The built folder nodes below `node` into the plan below its entry `at`, as held folders.
void FolderTree::PlanBuilt(const Element& node, std::size_t at) {
    for (std::size_t i = 1; i < node.ChildCount(); ++i) {
        const Element* child = node.Child(i);
        const Element* caption = child != nullptr ? CaptionOf(*child) : nullptr;
        const std::u16string* path = caption != nullptr ? caption->GetAttribute("path") : nullptr;
        if (path == nullptr) {
            continue;
        }
        plan_.push_back(Planned{
            *path, CountAttribute(*caption, "ns"), CountAttribute(*caption, "nc"), false, at, {}});
        const std::size_t added = plan_.size() - 1;
        plan_[at].children.push_back(added);
        held_.emplace(*path, added);
        nodes_.erase(*path);
        PlanBuilt(*child, added);
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
            if (const auto holding = heldBelow_.find(*path); holding != heldBelow_.end()) {
                const std::size_t at = holding->second;
                heldBelow_.erase(holding);
                for (const std::size_t child : plan_[at].children) {
                    ForgetHeld(child);
                }
            }
        }
    }
    node.Detach();
}

void FolderTree::ForgetHeld(std::size_t at) {
    held_.erase(plan_[at].path);
    heldBelow_.erase(plan_[at].path);
    for (const std::size_t child : plan_[at].children) {
        ForgetHeld(child);
    }
}

bool FolderTree::SetDirectCount(std::u16string_view path, unsigned count) {
    if (const auto held = held_.find(std::u16string(path)); held != held_.end()) {
        // A held folder keeps its count in the plan unless it is left without pictures: that
        // removes nodes, which the built tree does.
        Planned& entry = plan_[held->second];
        if (static_cast<unsigned long long>(count) + entry.nc > 0) {
            const long long delta = static_cast<long long>(count) - entry.ns;
            entry.ns = count;
            std::size_t up = entry.parent;
            for (; held_.contains(plan_[up].path); up = plan_[up].parent) {
                plan_[up].nc = static_cast<unsigned>(plan_[up].nc + delta);
            }
            const auto holding = nodes_.find(plan_[up].path);
            if (holding != nodes_.end() && holding->second) {
                CarryUp(holding->second.get(), delta);
            }
            return true;
        }
    }
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
    CarryUp(parent, delta);
    return true;
}

// Adds `delta` to the pictures below `parent` and each branch above it; a branch left without
// pictures loses its node, one left without folder nodes (and holding none) becomes a leaf.
void FolderTree::CarryUp(Element* parent, long long delta) {
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
            if (parent->ChildCount() < 2 && !heldBelow_.contains(PathOf(*parentCaption))) {
                Retag(*parent, kLeafTag);
            }
        } else {
            RemoveNode(*parent);
        }
        parent = above;
    }
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

// The tree of `folders` (none without pictures) planned apart, as AddFolderResult would build it
// folder by folder, and put into the empty tree as one piece of markup: the page parses it once
// instead of once per folder, which for tens of thousands of folders was most of the start. The
// large collapsed branches keep their folders held in the plan.
void FolderTree::BuildWhole(const std::vector<std::pair<std::u16string, unsigned>>& folders) {
    ForgetPlan();
    plan_.resize(1);
    for (const auto& [path, count] : folders) {
        if (const auto known = held_.find(path); known != held_.end()) {
            // A folder seen before (above an earlier one): its count, the difference carried up.
            Planned& node = plan_[known->second];
            const unsigned old = node.ns;
            node.ns = count;
            for (std::size_t up = node.parent; up != 0; up = plan_[up].parent) {
                plan_[up].nc = plan_[up].nc - old + count;
            }
            continue;
        }
        PlanFolders(0, PathPrefixes(path), 0, count);
    }
    BuildHeld(0);
}

// The markup of the planned folder `at` and of the folders below it that are built with it: all
// of them for an expanded branch or a small one; a large collapsed branch holds them.
void FolderTree::AppendPlanned(std::size_t at, std::u16string& html) {
    const Planned& entry = plan_[at];
    const bool branch = !entry.children.empty();
    html += NodeStart(entry.path, entry.ns, entry.nc, branch,
                      entry.parent != 0 ? u""
                      : entry.expanded  ? kTopBranchAttributes
                                        : kTopLeafAttributes);
    if (branch && !entry.expanded && entry.children.size() >= kHeldFrom) {
        heldBelow_.emplace(entry.path, at);
    } else {
        for (const std::size_t child : entry.children) {
            AppendPlanned(child, html);
        }
    }
    html += NodeEnd(branch);
}

// The built nodes below `element`, which shows the planned folder `at`, into the map: the
// page's nodes are in plan order, a node's folder nodes following its caption.
void FolderTree::RegisterBuilt(std::size_t at, Element& element) {
    std::vector<std::pair<std::size_t, Element*>> pending{{at, &element}};
    while (!pending.empty()) {
        const auto [planned, parent] = pending.back();
        pending.pop_back();
        if (planned != at && heldBelow_.contains(plan_[planned].path)) {
            continue;
        }
        const std::size_t first = planned == 0 ? 0 : 1;
        const std::vector<std::size_t>& children = plan_[planned].children;
        for (std::size_t i = 0; i < children.size(); ++i) {
            Element* child = parent->Child(first + i);
            if (child == nullptr) {
                break;
            }
            held_.erase(plan_[children[i]].path);
            nodes_[plan_[children[i]].path] = ElementRef(child);
            pending.emplace_back(children[i], child);
        }
    }
}

// Builds the folders the planned branch `at` (the tree itself for 0) holds.
void FolderTree::BuildHeld(std::size_t at) {
    Element* element = treeView_.get();
    if (at != 0) {
        const auto holding = heldBelow_.find(plan_[at].path);
        const auto node = nodes_.find(plan_[at].path);
        if (holding == heldBelow_.end() || node == nodes_.end() || !node->second) {
            return;
        }
        heldBelow_.erase(holding);
        element = node->second.get();
    }
    std::u16string html;
    for (const std::size_t child : plan_[at].children) {
        AppendPlanned(child, html);
    }
    static_cast<void>(element->SetHtml(html, SIH_APPEND_AFTER_LAST));
    RegisterBuilt(at, *element);
}

// Builds the held branches above the held folder `at`, from the outermost down.
void FolderTree::BuildHeldAbove(std::size_t at) {
    std::vector<std::size_t> chain;
    for (std::size_t up = plan_[at].parent; up != 0; up = plan_[up].parent) {
        chain.push_back(up);
        if (heldBelow_.contains(plan_[up].path)) {
            break;
        }
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        BuildHeld(*it);
    }
}

// The cache lines of the folders the planned branch `at` holds, in document order.
void FolderTree::AppendHeldLines(std::size_t at, std::u16string& text) const {
    for (const std::size_t child : plan_[at].children) {
        if (plan_[child].ns > 0) {
            AppendCacheLine(plan_[child].path, plan_[child].ns, text);
        }
        AppendHeldLines(child, text);
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
            if (path != nullptr) {
                if (const auto holding = heldBelow_.find(*path); holding != heldBelow_.end()) {
                    AppendHeldLines(holding->second, text);
                }
            }
            return Walk::Continue;
        });
    }
    return WriteTextFile(file, text);
}

}  // namespace tavopix
