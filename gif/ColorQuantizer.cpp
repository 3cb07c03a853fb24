// Octree quantizer: insertion, reduction of the deepest reducible node, and the colour table.
#include "gif/ColorQuantizer.h"

#include <algorithm>

namespace vidorant {

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits)
    : Memo_(size_t{1} << MemoBits), PrefixMemo_(size_t{1} << (3 * PrefixBits)), MaxColors_(maxColors),
      ColorBits_(std::clamp(colorBits, 1, 8)) {
  Reducible_.fill(-1);
  Pool_.reserve(1024);
  Root_ = CreateNode(0);
}

int32_t TColorQuantizer::CreateNode(int depth) {
  int32_t node;
  if (!FreeNodes_.empty()) {
    node = FreeNodes_.back();
    FreeNodes_.pop_back();
    Pool_[static_cast<size_t>(node)] = TOctreeNode();
  } else {
    node = static_cast<int32_t>(Pool_.size());
    Pool_.emplace_back();
  }
  TOctreeNode& n = Pool_[static_cast<size_t>(node)];
  n.Serial = NextSerial_++;
  n.Depth = static_cast<uint8_t>(depth);
  if (depth == ColorBits_) {
    n.IsLeaf = true;
    ++LeafCount_;
  } else {
    n.NextReducible = Reducible_[static_cast<size_t>(depth)];
    Reducible_[static_cast<size_t>(depth)] = node;
  }
  return node;
}

void TColorQuantizer::FreeNode(int32_t node) {
  Pool_[static_cast<size_t>(node)].Serial = 0;
  FreeNodes_.push_back(node);
}

void TColorQuantizer::AddColor(uint8_t red, uint8_t green, uint8_t blue) {
  constexpr int drop = 8 - PrefixBits;
  TPrefixSlot& prefix =
      PrefixMemo_[static_cast<size_t>((red >> drop) << (2 * PrefixBits) | (green >> drop) << PrefixBits | (blue >> drop))];
  if (prefix.Leaf >= 0 && Pool_[static_cast<size_t>(prefix.Leaf)].Serial == prefix.Serial) {
    AddToLeaf(Pool_[static_cast<size_t>(prefix.Leaf)], red, green, blue);
    return;  // a leaf takes no new node, so no reduction is due
  }
  const uint32_t key = RGB(red, green, blue) | (1u << 24);
  TMemoSlot& memo = Memo_[(key * 2654435761u) >> (32 - MemoBits)];
  int32_t node = Root_;
  if (memo.Key == key && Pool_[static_cast<size_t>(memo.Leaf)].Serial == memo.Serial) node = memo.Leaf;
  for (int depth = 0;; ++depth) {
    if (Pool_[static_cast<size_t>(node)].IsLeaf) {
      TOctreeNode& leaf = Pool_[static_cast<size_t>(node)];
      AddToLeaf(leaf, red, green, blue);
      memo = TMemoSlot{key, node, leaf.Serial};
      if (leaf.Depth <= PrefixBits && leaf.Serial <= UINT32_MAX)
        prefix = TPrefixSlot{node, static_cast<uint32_t>(leaf.Serial)};
      break;
    }
    const int shift = 7 - depth;
    const int index = (((red >> shift) & 1) << 2) | (((green >> shift) & 1) << 1) | ((blue >> shift) & 1);
    int32_t child = Pool_[static_cast<size_t>(node)].Child[static_cast<size_t>(index)];
    if (child < 0) {
      child = CreateNode(depth + 1);  // may move the pool: index again below
      Pool_[static_cast<size_t>(node)].Child[static_cast<size_t>(index)] = child;
    }
    node = child;
  }
  // Stops when nothing is left to reduce (a maximum below one colour).
  while (LeafCount_ > MaxColors_ && Reduce()) {
  }
}

bool TColorQuantizer::Reduce() {
  int depth = ColorBits_ - 1;
  while (depth > 0 && Reducible_[static_cast<size_t>(depth)] < 0) --depth;
  const int32_t node = Reducible_[static_cast<size_t>(depth)];
  if (node < 0) return false;
  TOctreeNode& n = Pool_[static_cast<size_t>(node)];
  Reducible_[static_cast<size_t>(depth)] = n.NextReducible;
  int children = 0;
  for (int32_t& child : n.Child) {
    if (child < 0) continue;
    const TOctreeNode& c = Pool_[static_cast<size_t>(child)];
    n.PixelCount += c.PixelCount;
    n.RedSum += c.RedSum;
    n.GreenSum += c.GreenSum;
    n.BlueSum += c.BlueSum;
    FreeNode(child);
    child = -1;
    ++children;
  }
  n.IsLeaf = true;
  LeafCount_ -= children - 1;
  return true;
}

void TColorQuantizer::ProcessImage(const TDIBReader& image) {
  for (int y = 0; y < image.Height(); ++y) {
    const uint8_t* row = image.ScanLine(y);
    for (int x = 0; x < image.Width(); ++x) AddColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  }
}

std::vector<TRGBQuad> TColorQuantizer::ColorTable() const {
  std::vector<TRGBQuad> table;
  // Depth-first walk with an explicit stack; children pushed in reverse to visit 0 first.
  std::vector<int32_t> stack{Root_};
  while (!stack.empty()) {
    const TOctreeNode& n = Pool_[static_cast<size_t>(stack.back())];
    stack.pop_back();
    if (n.IsLeaf) {
      TRGBQuad q;
      if (n.PixelCount != 0) {
        q.Red = static_cast<uint8_t>(n.RedSum / n.PixelCount);
        q.Green = static_cast<uint8_t>(n.GreenSum / n.PixelCount);
        q.Blue = static_cast<uint8_t>(n.BlueSum / n.PixelCount);
      }
      table.push_back(q);
      continue;
    }
    for (int i = 7; i >= 0; --i)
      if (n.Child[static_cast<size_t>(i)] >= 0) stack.push_back(n.Child[static_cast<size_t>(i)]);
  }
  return table;
}

TPalette CreateOptimizedPaletteFromManyBitmaps(const TDIBReader& image, int colors, int colorBits, bool systemColors) {
  constexpr int SystemHalf = 10;
  std::vector<TPaletteEntry> entries(static_cast<size_t>(colors), TPaletteEntry{0, 0, 0, PC_NOCOLLAPSE});
  int first = 0, wanted = colors;
  if (systemColors) {
    const TPalette stock = TPalette::Default();
    entries.assign(256, TPaletteEntry{0, 0, 0, PC_NOCOLLAPSE});
    for (int i = 0; i < SystemHalf; ++i) {
      entries[static_cast<size_t>(i)] = stock.Entry(i);
      entries[static_cast<size_t>(256 - SystemHalf + i)] = stock.Entry(SystemHalf + i);
    }
    first = SystemHalf;
    wanted = 256 - 2 * SystemHalf;
  }
  TColorQuantizer quantizer(wanted, colorBits);
  quantizer.ProcessImage(image);
  const std::vector<TRGBQuad> table = quantizer.ColorTable();
  const size_t count = std::min(table.size(), static_cast<size_t>(wanted));
  for (size_t i = 0; i < count; ++i)
    entries[static_cast<size_t>(first) + i] = TPaletteEntry{table[i].Red, table[i].Green, table[i].Blue, 0};
  return TPalette(std::move(entries));
}

TPalette CreateOptimizedPaletteFromSingleBitmap(TBitmap& bitmap, int colors, int colorBits, bool systemColors) {
  const TDIBReader reader(bitmap, pf24bit);
  return CreateOptimizedPaletteFromManyBitmaps(reader, colors, colorBits, systemColors);
}

}  // namespace vidorant
