// A layout-free estimate of an element's size from its text: every character an 8 × 16 pixel
// cell. What a view answers when nothing better is known (no browser connected, or a test that
// set no geometry).
#pragma once

#include "engine/Geometry.h"

namespace tavopix {

class Element;

inline constexpr int kEstimatedCharWidth = 8;
inline constexpr int kEstimatedLineHeight = 16;

// Minimum: the longest word; maximum: the whole text on one line.
IntrinsicWidths EstimatedIntrinsicWidths(const Element& element);
// The text wrapped at `width`, at least one line.
int EstimatedIntrinsicHeight(const Element& element, int width);

}  // namespace tavopix
