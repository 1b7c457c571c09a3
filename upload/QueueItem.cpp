#include "upload/QueueItem.h"

#include "engine/Element.h"

namespace tavopix {

std::u16string Attribute(const Element* element, std::string_view name) {
    const std::u16string* value = element ? element->GetAttribute(name) : nullptr;
    return value ? *value : std::u16string();
}

Element* PictureOf(const Element& item) {
    return item.FindFirst("picture");
}

std::u16string PicturePath(const Element& item) {
    return Attribute(PictureOf(item), "path");
}

std::u16string ThumbnailOf(const Element& item) {
    return Attribute(PictureOf(item), "src");
}

}  // namespace tavopix
