// The sort behind SortColorMapByUse.
#include "gif/GIFColorMapSort.h"

#include <array>
#include <cstdint>
#include <vector>

#include "gif/GIFImage.h"

namespace vidorant {

namespace {

struct TUse {
  int64_t Count;
  int Index;
};

// Descending by count. The partition order (middle pivot, both cursors stepping after every
// swap) decides where entries of equal use end up, so it is kept exactly.
void QuickSort(std::vector<TUse>& uses, int left, int right) {
  int i;
  do {
    i = left;
    int j = right;
    int64_t pivot = uses[static_cast<size_t>((left + right) / 2)].Count;
    do {
      while (uses[static_cast<size_t>(i)].Count > pivot) ++i;
      while (uses[static_cast<size_t>(j)].Count < pivot) --j;
      if (i <= j) {
        std::swap(uses[static_cast<size_t>(i)], uses[static_cast<size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (left < j) QuickSort(uses, left, j);
    left = i;
  } while (i < right);
}

bool Sort(TGIFImage* image, TGIFColorMap& map, const std::vector<TGIFSubImage*>& frames) {
  const int count = map.Count();
  if (count <= 1) return false;
  map.SetOptimized(true);

  std::vector<TUse> uses(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) uses[static_cast<size_t>(i)] = TUse{0, i};
  for (TGIFSubImage* frame : frames) {
    const uint8_t* pixel = frame->Data();
    for (int64_t p = 0; p < frame->DataSize(); ++p)
      if (pixel[p] < count) ++uses[pixel[p]].Count;
  }
  QuickSort(uses, 0, count - 1);
  bool unchanged = true;
  for (int i = 0; i < count; ++i) unchanged &= uses[static_cast<size_t>(i)].Index == i;
  if (unchanged) return true;

  // Pixels beyond the table (a damaged file) keep their value.
  std::array<uint8_t, 256> newIndex{};
  for (int i = 0; i < 256; ++i) newIndex[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  int used = 0;
  for (int i = 0; i < count; ++i) {
    newIndex[static_cast<size_t>(uses[static_cast<size_t>(i)].Index)] = static_cast<uint8_t>(i);
    if (uses[static_cast<size_t>(i)].Count > 0) used = i + 1;
  }
  for (TGIFSubImage* frame : frames) {
    uint8_t* pixel = frame->Data();
    for (int64_t p = 0; p < frame->DataSize(); ++p) pixel[p] = newIndex[pixel[p]];
    TGIFGraphicControlExtension* control = frame->GraphicControlExtension();
    if (frame->Transparent() && control) control->SetTransparentColorIndex(newIndex[control->TransparentColorIndex()]);
  }
  std::vector<TColor> colors;
  for (int i = 0; i < used; ++i) colors.push_back(map.Colors(uses[static_cast<size_t>(i)].Index));
  map.Clear();
  for (TColor c : colors) map.Add(c);
  map.SetOptimized(true);
  if (image) image->Changed();
  return true;
}

}  // namespace

bool SortColorMapByUse(TGIFImage& image) {
  std::vector<TGIFSubImage*> frames;
  for (int i = 0; i < image.Images().Count(); ++i)
    if (image.Images()[i]->ColorMap().Count() == 0) frames.push_back(image.Images()[i]);
  return Sort(&image, image.GlobalColorMap(), frames);
}

bool SortColorMapByUse(TGIFSubImage& frame) { return Sort(frame.Image(), frame.ColorMap(), {&frame}); }

}  // namespace vidorant
