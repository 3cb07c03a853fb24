// Sorting a colour table by use: entries ordered by how many pixels use them, most used first,
// pixels and transparent indices remapped, unused entries cut off the end, and the table marked
// sorted (written with the GIF sort flag). The global table counts the pixels of every frame
// without a local table; a local table counts its own frame's.
// Invariant: every pixel and transparent index keeps its colour.
#pragma once

namespace vidorant {

class TGIFImage;
class TGIFSubImage;

// True when the table had more than one entry (it is then marked sorted, even when its order
// was already right and nothing moved).
bool SortColorMapByUse(TGIFImage& image);
bool SortColorMapByUse(TGIFSubImage& frame);

}  // namespace vidorant
