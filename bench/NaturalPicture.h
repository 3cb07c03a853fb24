// Synthetic pictures with the statistics of natural video frames: smooth gradients, hard edges
// of a few shapes, fine texture and sensor-like noise, giving thousands of distinct colours.
// The same size and seed always give the same picture, so runs are comparable.
#pragma once

#include "platform/Bitmap.h"

namespace vidorant {

// grain: the standard deviation of the sensor noise added to each pixel (0.7: a clean camera
// after compression; 4: grain that changes every frame, as in a low-light clip).
TBitmap NaturalPicture(int width, int height, unsigned seed, double grain = 0.7);
// An animation-like picture: a flat background, flat shapes with hard edges and a few bands of
// a stepped gradient, as cartoons and screen captures are; long runs of one colour.
TBitmap FlatPicture(int width, int height, unsigned seed);
// The number of distinct colours of a 24-bit bitmap.
int DistinctColors(const TBitmap& bitmap);

}  // namespace vidorant
