// Synthetic pictures with the statistics of natural video frames: smooth gradients, hard edges
// of a few shapes, fine texture and sensor-like noise, giving thousands of distinct colours.
// The same size and seed always give the same picture, so runs are comparable.
#pragma once

#include "platform/Bitmap.h"

namespace vidorant {

TBitmap NaturalPicture(int width, int height, unsigned seed);
// The number of distinct colours of a 24-bit bitmap.
int DistinctColors(const TBitmap& bitmap);

}  // namespace vidorant
