// The main window's owning list of the pictures of the current view, in grid order, with the
// nine sort orders of the grid.
//
// The list is changed on the UI thread only, except while a folder listing owns it; the
// thumbnail worker reads it only while it is resumed, and every change is made while that worker
// is paused. The list itself therefore holds no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "library/data/PictureItem.h"

namespace tavopix {

// The grid's sort orders, by the numbers stored in the settings and in the sort menu.
enum class SortType : int {
    Listing = 0,  // the order of listing; the list is left as it is
    SizeLargestFirst = 1,
    SizeSmallestFirst = 2,
    NameDescending = 3,
    NameAscending = 4,
    NewestFirst = 5,
    OldestFirst = 6,
    UploadedFirst = 7,
    NotUploadedFirst = 8,
};

class ItemList {
public:
    // Takes ownership of `item`, gives it the next id and appends it; returns the item.
    PictureItem& Append(std::unique_ptr<PictureItem> item);

    // Frees the item; false when it is not in the list.
    bool Remove(const PictureItem* item);
    void Clear();

    // The item that carries `id`, or nullptr.
    PictureItem* FindById(std::uint32_t id) const;

    // Sorts stably by `type` and remembers it as the current sort type. Numbers outside 0-8
    // leave the list as it is.
    void Sort(int type);
    int sortType() const { return sortType_; }

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    PictureItem& operator[](std::size_t index) const { return *items_[index]; }

private:
    std::vector<std::unique_ptr<PictureItem>> items_;
    std::uint32_t nextId_ = 1;
    int sortType_ = 0;
};

}  // namespace tavopix
