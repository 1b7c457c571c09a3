#include "library/views/PhotoGrid.h"

#include <string>

#include "library/views/GridCell.h"
#include "library/views/GridGeometry.h"
#include "library/views/ImgViewBehavior.h"

namespace tavopix {

PhotoGrid::PhotoGrid(Element& root, ItemList& items, MarkedSet& marked,
                     const PictureVersions& versions)
    : root_(root),
      grid_(root.FindById(u"photo_list")),
      items_(items),
      marked_(marked),
      versions_(versions),
      side_(kDefaultThumbSize) {
    // The grid's behaviour must be known before the page's first event reaches it.
    (void)ImgViewBehavior::Instance();
    ShowSide();
}

void PhotoGrid::ShowSide() {
    if (grid_) {
        const std::string side = std::to_string(side_);
        grid_->SetAttribute(kGridSideAttribute, std::u16string(side.begin(), side.end()));
    }
}

void PhotoGrid::Clear() {
    items_.Clear();
    cells_.clear();
    if (grid_) {
        grid_->RemoveContent();
        grid_->SetScrollPos({0, 0}, false);
    }
    SetEmptyState(u"busy");
}

void PhotoGrid::SetEmptyState(std::u16string_view state) {
    if (grid_) {
        grid_->SetAttribute("empty", std::u16string(state));
    }
}

void PhotoGrid::SelectOnly(Element& cell) {
    if (!grid_ || cell.Parent() != grid_.get()) {
        return;
    }
    for (Element* child = grid_->FirstChild(); child; child = child->NextSibling()) {
        SelectCell(*child, child == &cell);
    }
    const GridGeometry geometry = GridGeometry::Of(*grid_);
    const int top = geometry.ScrollToShow(static_cast<std::size_t>(cell.Index()));
    if (top != geometry.Scroll().y) {
        grid_->SetScrollPos({geometry.Scroll().x, top}, false);
    }
}

void PhotoGrid::Build(int sortType) {
    if (sortType != 0) {
        items_.Sort(sortType);
    }
    cells_.clear();
    if (!grid_) {
        return;
    }
    grid_->RemoveContent();
    // One fragment for all cells: the page takes them in one insertion.
    std::string html;
    html.reserve(items_.size() * 240);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        PictureItem& item = items_[i];
        item.shown = false;
        html += CellHtml(item, side_);
    }
    (void)grid_->SetHtml(html, SIH_APPEND_AFTER_LAST);
    for (std::size_t i = 0; i < items_.size() && i < grid_->ChildCount(); ++i) {
        cells_[items_[i].id] = ElementRef(grid_->Child(i));
    }
}

void PhotoGrid::Refill(PictureItem& item) {
    if (Element* cell = CellOf(item)) {
        (void)cell->SetHtml(
            ThumbnailCellContent(item, side_,
                                 ThumbnailSource(item.thumbnail, versions_.Of(item.path))),
            SIH_REPLACE_CONTENT);
    }
}

void PhotoGrid::ThumbnailArrived(PictureItem& item) {
    Refill(item);
    item.shown = true;
}

void PhotoGrid::Zoom(int side) {
    side_ = side;
    ShowSide();
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (Element* cell = CellOf(items_[i])) {
            RestyleCell(*cell, items_[i], side_);
        }
    }
}

bool PhotoGrid::ToggleMark(Element& cell) {
    const std::u16string* path = cell.GetAttribute("path");
    if (path == nullptr) {
        return false;
    }
    const bool marked = marked_.Toggle(*path);
    PictureItem* item = ItemOf(cell);
    if (marked) {
        if (item != nullptr) {
            (void)cell.SetHtml(AddedMarkHtml(*item, side_), SIH_APPEND_AFTER_LAST);
        }
    } else if (Element* mark = cell.FindFirst("p.mark")) {
        mark->Detach();
    }
    if (item != nullptr) {
        item->marked = marked;
    }
    ShowMarkCount();
    return marked;
}

void PhotoGrid::ShowMarkCount() {
    if (Element* entry = root_.FindById(u"op_mark")) {
        if (Element* number = entry->FindFirst(".num")) {
            number->SetInnerText(MarkedSet::CountText(marked_.Count()));
        }
    }
}

void PhotoGrid::Remove(PictureItem& item) {
    if (Element* cell = CellOf(item)) {
        cell->Detach();
    }
    cells_.erase(item.id);
    items_.Remove(&item);
}

PictureItem* PhotoGrid::ItemOf(const Element& cell) const {
    return items_.FindById(CellItemId(cell));
}

Element* PhotoGrid::CellOf(const PictureItem& item) const {
    const auto found = cells_.find(item.id);
    return found == cells_.end() ? nullptr : found->second.get();
}

bool PhotoGrid::VisibleRange(std::size_t& first, std::size_t& last) const {
    if (items_.empty() || !grid_) {
        return false;
    }
    const std::optional<IndexRange> range = GridGeometry::Of(*grid_).InView(items_.size());
    if (!range) {
        return false;
    }
    first = range->first;
    last = range->last;
    return true;
}

}  // namespace tavopix
