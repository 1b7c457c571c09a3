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

    // The node that shows `path`, or null.
    Element* NodeOf(std::u16string_view path) const;
    std::size_t NodeCount() const { return nodes_.size(); }

private:
    void AddToList(std::u16string_view path, unsigned count);
    void AddToTree(std::u16string_view path, unsigned count);
    void BuildWhole(const std::vector<std::pair<std::u16string, unsigned>>& folders);
    Element* AppendNode(Element& parent, std::u16string_view path, unsigned ns, unsigned nc,
                        bool branch);
    Element* Retag(Element& node, std::string_view tag);
    void RemoveNode(Element& node);

    ElementRef treeView_;
    FolderPresentation presentation_ = FolderPresentation::Tree;
    std::unordered_map<std::u16string, ElementRef> nodes_;
};

}  // namespace tavopix
