// The main window's folder tree ("tree_view"): the folders the search and the listing report,
// with their picture counts, shown either as a tree along each folder's path or as a flat list
// of the folders that hold pictures; the map from stored folder path to the node showing it;
// and the search-path cache, searchPathCache.dat, from which the tree is rebuilt at start
// without a search.
//
// Each node is an "options" (it has folder nodes below it) or an "option", its first child a
// "caption" carrying "tp" (the kind), "path" (the stored folder path), "ns" (pictures directly
// in the folder) and, in the tree, "nc" (pictures below it); the caption's ".num" shows ns + nc
// as "(N)". Names and paths are escaped into the markup, so they show and read back exactly.
//
// A collapsed branch with many folders directly below it holds them out of the engine (and so
// out of the page) until it is opened or one of them is asked for: a tree of tens of thousands
// of folders, loaded from the cache or growing with the search, builds only its expanded part.
// Held folders count as nodes, take their counts and the folders found below them, are written
// to the cache in their place and come into the engine when NodeOf names them.
//
// The cache file: FF FE, then one line `"path" count` CR LF per folder with pictures directly
// in it, in document order; totals are rebuilt on loading. UI thread only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/UserDataFiles.h"
#include "engine/ElementRef.h"

namespace tavopix {

class Element;

enum class FolderPresentation { Tree, List };

class FolderTree {
public:
    // The element the nodes go into; null detaches the tree.
    void Bind(Element* treeView);
    Element* TreeView() const { return treeView_.get(); }

    void SetPresentation(FolderPresentation presentation) { presentation_ = presentation; }
    FolderPresentation Presentation() const { return presentation_; }

    // Removes every node, forgets the map and scrolls the tree to the top.
    void Clear();

    // A folder's direct count from the search or a listing: a known folder takes the count,
    // a new folder with pictures gets its node (and, in the tree, the nodes above it).
    void AddFolderResult(std::u16string_view path, unsigned count);

    // Gives the known folder `path` the direct count `count`, carrying the difference up to
    // its ancestors; a folder left with no pictures at or below it loses its node, and so do
    // ancestors emptied that way. False when no node shows `path`.
    bool SetDirectCount(std::u16string_view path, unsigned count);

    // Adds the folders of the cache file. False when it is missing, unreadable or empty.
    bool LoadCache(const std::u16string& file);
    // Writes the cache file from the nodes; false when writing failed.
    bool SaveCache(const std::u16string& file) const;

    // A branch was expanded: the folders it holds go into the engine.
    void BuildHeldFolders(const Element& node);

    // The node that shows `path`, or null; a held folder is built first.
    Element* NodeOf(std::u16string_view path);
    std::size_t NodeCount() const { return nodes_.size() + held_.size(); }

private:
    // A folder of the plan, loaded from the cache or held below a collapsed branch: [0] stands
    // for the tree element itself.
    struct Planned {
        std::u16string path;
        unsigned ns = 0;
        unsigned nc = 0;
        bool expanded = false;  // a branch made at the top opens expanded
        std::size_t parent = 0;
        std::vector<std::size_t> children;
    };

    void AddToList(std::u16string_view path, unsigned count);
    void AddToTree(std::u16string_view path, unsigned count);
    void PlanFolders(std::size_t at, const std::vector<std::u16string>& prefixes, std::size_t from,
                     unsigned count);
    void HoldIfLarge(Element& branch);
    void PlanBuilt(const Element& node, std::size_t at);
    void CarryUp(Element* parent, long long delta);
    void BuildWhole(const std::vector<std::pair<std::u16string, unsigned>>& folders);
    void AppendPlanned(std::size_t at, std::u16string& html);
    void RegisterBuilt(std::size_t at, Element& element);
    void BuildHeld(std::size_t at);
    void BuildHeldAbove(std::size_t at);
    void AppendHeldLines(std::size_t at, std::u16string& text) const;
    void ForgetHeld(std::size_t at);
    void ForgetPlan();
    Element* AppendNode(Element& parent, std::u16string_view path, unsigned ns, unsigned nc,
                        bool branch);
    Element* Retag(Element& node, std::string_view tag);
    void RemoveNode(Element& node);

    ElementRef treeView_;
    FolderPresentation presentation_ = FolderPresentation::Tree;
    std::unordered_map<std::u16string, ElementRef> nodes_;
    std::vector<Planned> plan_;
    // Folders not in the engine, and the built branches holding them, by path -> plan entry.
    std::unordered_map<std::u16string, std::size_t> held_;
    std::unordered_map<std::u16string, std::size_t> heldBelow_;
};

}  // namespace tavopix
