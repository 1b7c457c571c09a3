// What an item of the upload queue carries: its "picture" element, whose "path" attribute is
// the stored path of the picture to send and whose "src" attribute is its thumbnail once made.
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

class Element;

// The value of the attribute, empty when `element` is null or has none.
std::u16string Attribute(const Element* element, std::string_view name);

Element* PictureOf(const Element& item);
// The stored path of the item's picture.
std::u16string PicturePath(const Element& item);
// The item's thumbnail as the page shows it; empty until it is made.
std::u16string ThumbnailOf(const Element& item);

}  // namespace tavopix
