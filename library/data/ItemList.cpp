#include "library/data/ItemList.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace tavopix {
namespace {

using Order = std::function<bool(const PictureItem&, const PictureItem&)>;

// The "comes before" relation of each sort type; items it does not separate keep their order.
Order OrderFor(SortType type) {
    switch (type) {
        case SortType::SizeLargestFirst:
            return [](const PictureItem& a, const PictureItem& b) { return a.size > b.size; };
        case SortType::SizeSmallestFirst:
            return [](const PictureItem& a, const PictureItem& b) { return a.size < b.size; };
        case SortType::NameDescending:
            return [](const PictureItem& a, const PictureItem& b) { return a.name > b.name; };
        case SortType::NameAscending:
            return [](const PictureItem& a, const PictureItem& b) { return a.name < b.name; };
        case SortType::NewestFirst:
            return [](const PictureItem& a, const PictureItem& b) { return a.time > b.time; };
        case SortType::OldestFirst:
            return [](const PictureItem& a, const PictureItem& b) { return a.time < b.time; };
        case SortType::UploadedFirst:
            return [](const PictureItem& a, const PictureItem& b) {
                return a.uploaded && !b.uploaded;
            };
        case SortType::NotUploadedFirst:
            return [](const PictureItem& a, const PictureItem& b) {
                return !a.uploaded && b.uploaded;
            };
        case SortType::Listing:
            break;
    }
    return nullptr;
}

}  // namespace

PictureItem& ItemList::Append(std::unique_ptr<PictureItem> item) {
    item->id = nextId_++;
    // 0 never names an item, so a cell whose id cannot be read finds nothing.
    if (nextId_ == 0) {
        nextId_ = 1;
    }
    items_.push_back(std::move(item));
    return *items_.back();
}

bool ItemList::Remove(const PictureItem* item) {
    const auto found = std::find_if(items_.begin(), items_.end(),
                                    [item](const auto& owned) { return owned.get() == item; });
    if (found == items_.end()) {
        return false;
    }
    items_.erase(found);
    return true;
}

void ItemList::Clear() {
    items_.clear();
}

PictureItem* ItemList::FindById(std::uint32_t id) const {
    for (const auto& item : items_) {
        if (item->id == id) {
            return item.get();
        }
    }
    return nullptr;
}

void ItemList::Sort(int type) {
    if (type < 0 || type > static_cast<int>(SortType::NotUploadedFirst)) {
        return;
    }
    sortType_ = type;
    const Order before = OrderFor(static_cast<SortType>(type));
    if (!before) {
        return;
    }
    std::stable_sort(items_.begin(), items_.end(),
                     [&before](const auto& a, const auto& b) { return before(*a, *b); });
}

}  // namespace tavopix
