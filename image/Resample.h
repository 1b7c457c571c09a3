// Resizing of bitmaps with a Lanczos-3 filter, widened by the reduction factor so that every
// source pixel contributes when shrinking: sharp and free of aliasing, unlike nearest-neighbour
// or plain bilinear sampling. Separable, in 14-bit fixed point. Reductions beyond four times
// first average whole blocks down to about twice the target, as the wide filter would cost
// six times the area it covers.
#pragma once

#include "image/Bitmap.h"

namespace tavopix {

// The bitmap resampled to width x height (both at least 1); channels are kept.
Bitmap ResizeBitmap(const Bitmap& source, int width, int height);

}  // namespace tavopix
