// The photo grid's geometry against the layout of its style: a grid 539 pixels wide holds two
// columns of 160-pixel cells (13 pixels of padding, then cells every 178), not the three its
// width alone would give; the cells in view, the band's selection and the scroll that shows a
// cell all follow from it, without asking the view where any cell is.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/HeadlessView.h"
#include "library/views/GridCell.h"
#include "library/views/GridGeometry.h"
#include "library/views/ImgViewBehavior.h"
#include "library/views/PhotoGrid.h"

namespace tavopix::test {
namespace {

TEST(GridGeometryTest, CellsInViewBandAndScrollFollowTheLayout) {
    HeadlessView view;
    const std::unique_ptr<Document> page = Document::FromHtml(
        R"(<html><body><div id="photo_list"></div></body></html>)", u"/page.htm");
    page->AttachView(&view);
    // Scrolled down by one row.
    view.SetScrollInfo("#photo_list", {{0, 178}, {0, 0, 539, 400}, {539, 2700}});
    ItemList items;
    MarkedSet marked;
    PictureVersions versions;
    PhotoGrid grid(*page->Root(), items, marked, versions);
    for (int i = 0; i < 30; ++i) {
        auto item = std::make_unique<PictureItem>();
        item->path = u"/pics/p" + std::u16string(1, static_cast<char16_t>(u'a' + i)) + u".jpg";
        items.Append(std::move(item));
    }
    grid.Build(0);
    // The first 14 have their thumbnails (160 x 120, 20 pixels down in the picture area).
    for (std::size_t i = 0; i < 14; ++i) {
        items[i].thumbnail = items[i].path;
        items[i].width = 280;
        items[i].height = 210;
        grid.ThumbnailArrived(items[i]);
    }
    Element& list = *grid.GridElement();

    EXPECT_EQ(GridGeometry::Of(list).Columns(), 2u);
    std::size_t first = 0;
    std::size_t last = 0;
    ASSERT_TRUE(grid.VisibleRange(first, last));
    EXPECT_EQ(first, 2u);  // row 1, both columns, and two rows below the view
    EXPECT_EQ(last, 11u);

    // A band down the second column from row 1 to row 9, far below the view: cells with a
    // thumbnail count by their picture, the others by their placeholder.
    ImgViewBehavior::SelectByBand(list, GridGeometry::Of(list), {200, 30, 210, 1430}, false);
    std::string selected;
    for (std::size_t i = 0; i < list.ChildCount(); ++i) {
        if (IsCellSelected(*list.Child(i))) {
            selected += std::to_string(i) + " ";
        }
    }
    EXPECT_EQ(selected, "3 5 7 9 11 13 15 17 19 ");
    // The strip above a landscape picture is not the picture.
    ImgViewBehavior::SelectByBand(list, GridGeometry::Of(list), {200, 6, 400, 20}, false);
    EXPECT_EQ(list.FindFirst("[sel]"), nullptr);

    // Row 0 is scrolled out: showing its cell scrolls up to its top, no further.
    grid.SelectOnly(*list.Child(0));
    EXPECT_EQ(view.LastScrollPos(list), (Point{0, 1}));
}

}  // namespace
}  // namespace tavopix::test
