#include "library/views/GridCell.h"

#include <cstdarg>
#include <cstdio>

#include "app/HtmlEscape.h"
#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "engine/Element.h"
#include "engine/controls/Control.h"

namespace tavopix {

namespace {

// The patterns are fixed and their numbers few, so the text always fits.
[[gnu::format(printf, 1, 2)]] std::string Format(const char* pattern, ...) {
    char text[160];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

std::string UploadedFlagAtBuild(const PictureItem& item, int side) {
    return item.uploaded
               ? Format(R"(<p .uped style="left:%upx;top:%upx" />)",
                        static_cast<unsigned>(side - 20), static_cast<unsigned>(side - 20))
               : std::string();
}

std::string MarkAtBuild(const PictureItem& item, int side) {
    return item.marked ? Format(R"(<p .mark style="left:%upx;top:%upx" />)",
                                static_cast<unsigned>(side - 40), static_cast<unsigned>(side - 20))
                       : std::string();
}

std::u16string Text(const std::string& ascii) {
    return FromUtf8(ascii);
}

// The pixels of property `name` in a style the cell functions wrote ("name:12px").
std::optional<int> StylePixels(std::u16string_view style, std::u16string_view name) {
    for (std::size_t at = style.find(name); at != std::u16string_view::npos;
         at = style.find(name, at + 1)) {
        const bool starts = at == 0 || style[at - 1] == u' ' || style[at - 1] == u';';
        const std::size_t value = at + name.size();
        if (!starts || value >= style.size() || style[value] != u':') {
            continue;
        }
        const std::size_t end = style.find(u"px", value);
        return end == std::u16string_view::npos
                   ? std::nullopt
                   : ParseInt(style.substr(value + 1, end - value - 1));
    }
    return std::nullopt;
}

}  // namespace

CellPlacement PlaceInCell(int width, int height, int side) {
    CellPlacement place;
    place.width = width;
    place.height = height;
    FitInBox(place.width, place.height, side);
    place.marginLeft = (side - place.width) / 2;
    place.marginTop = (side - place.height) / 2;
    place.mark = {(side + place.width) / 2 - 40, (side + place.height) / 2 - 20};
    place.uploaded = {(side + place.width) / 2 - 20, (side + place.height) / 2 - 20};
    return place;
}

std::string CellHtml(const PictureItem& item, int side) {
    const unsigned cell = static_cast<unsigned>(side + kCellFrame);
    // The name goes along as the cell's tooltip.
    return Format(R"(<div .loc it="%u" style="width:%upx;height:%upx;" path=")", item.id, cell,
                  cell) +
           Utf8(HtmlEscape(item.path)) + R"(" title=")" + Utf8(HtmlEscape(item.name)) +
           Format(R"("><div .icon style="width:%upx; height:%upx; "></div> )",
                  static_cast<unsigned>(side), static_cast<unsigned>(side)) +
           UploadedFlagAtBuild(item, side) + MarkAtBuild(item, side) + "</div>";
}

std::string ThumbnailCellContent(const PictureItem& item, int side, std::u16string_view source) {
    const CellPlacement place = PlaceInCell(item.width, item.height, side);
    std::string html = Format(
        R"(<div .icon  style="width:%dpx; height:%dpx; margin-left:%dpx; margin-top:%dpx;"><picture  src=")",
        place.width, place.height, place.marginLeft, place.marginTop);
    html += Utf8(HtmlEscape(source));
    html += R"(" /></div>)";
    if (item.uploaded) {
        html += Format(R"(<p .uped style="left:%dpx;top:%dpx;" />)", place.uploaded.x,
                       place.uploaded.y);
    }
    if (item.marked) {
        html += Format(R"(<p .mark style="left:%dpx;top:%dpx;" />)", place.mark.x, place.mark.y);
    }
    return html;
}

std::string AddedMarkHtml(const PictureItem& item, int side) {
    const CellPlacement place = PlaceInCell(item.width, item.height, side);
    return Format(R"(<p .mark style="left:%dpx; top:%dpx;">)", place.mark.x, place.mark.y);
}

void RestyleCell(Element& cell, const PictureItem& item, int side) {
    const CellPlacement place = PlaceInCell(item.width, item.height, side);
    for (std::size_t i = 0; i < cell.ChildCount(); ++i) {
        Element& part = *cell.Child(i);
        if (part.HasClass(u"icon")) {
            part.SetAttribute(
                "style",
                Text(Format("width:%dpx; height:%dpx; margin-left:%dpx; margin-top:%dpx;",
                            place.width, place.height, place.marginLeft, place.marginTop)));
        } else if (part.Tag() == "p" && part.HasClass(u"mark")) {
            part.SetAttribute("style",
                              Text(Format("left:%dpx; top:%dpx;", place.mark.x, place.mark.y)));
        } else if (part.Tag() == "p" && part.HasClass(u"uped")) {
            part.SetAttribute(
                "style", Text(Format("left:%dpx; top:%dpx;", place.uploaded.x, place.uploaded.y)));
        }
    }
    const int frame = side + kCellFrame;
    cell.SetAttribute("style", Text(Format("width:%dpx; height:%dpx;", frame, frame)));
}

bool IsCellSelected(const Element& cell) {
    const std::u16string* sel = cell.GetAttribute("sel");
    return sel != nullptr && *sel == u"true" && cell.HasClass(u"loc");
}

void SelectCell(Element& cell, bool selected) {
    if (selected != IsCellSelected(cell)) {
        cell.SetAttribute("sel",
                          selected ? std::optional<std::u16string_view>(u"true") : std::nullopt);
    }
}

Rect PictureInArea(const Element& cell, int side) {
    const Element* icon = cell.FindFirst(".icon");
    const std::u16string* style = icon ? icon->GetAttribute("style") : nullptr;
    if (style == nullptr) {
        return {0, 0, side, side};
    }
    const int left = StylePixels(*style, u"margin-left").value_or(0);
    const int top = StylePixels(*style, u"margin-top").value_or(0);
    return {left, top, left + StylePixels(*style, u"width").value_or(side),
            top + StylePixels(*style, u"height").value_or(side)};
}

std::uint32_t CellItemId(const Element& cell) {
    const std::u16string* it = cell.GetAttribute("it");
    if (it == nullptr) {
        return 0;
    }
    const std::optional<int> id = ParseInt(*it);
    // Ids above INT_MAX do not occur in one run's lists; they read as none.
    return id && *id > 0 ? static_cast<std::uint32_t>(*id) : 0;
}

std::u16string ThumbnailSource(std::u16string_view thumbnail, unsigned version) {
    std::u16string source;
    source.reserve(thumbnail.size() + 8);
    for (const char16_t c : thumbnail) {
        if (c == u'?') {
            source += u"%3F";
        } else if (c == u'#') {
            source += u"%23";
        } else {
            source.push_back(c);
        }
    }
    if (version > 0) {
        source += u"?v=" + FromUtf8(std::to_string(version));
    }
    return source;
}

}  // namespace tavopix
