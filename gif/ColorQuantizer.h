// The octree colour quantizer and the octree palettes built from it.
//
// Invariants: after every pixel the number of leaves is at most the maximum (as long as a node
// can still be reduced); every non-leaf node below the colour depth sits in the reducible list
// of its depth until it is reduced. Nodes live in one pool and refer to each other by index, so
// building a tree costs no allocation per node once the pool has grown. A small memo maps
// recent colours to the leaf their walk ends at. New nodes grow below non-leaves only, and a
// reduction frees exactly the leaves below the reduced node, so a remembered leaf stays right
// for as long as it lives; each node carries a serial number, cleared when it is freed and new
// on reuse, that tells a living leaf from a freed or reused one.
#pragma once

#include "gif/DIB.h"
#include "platform/Color.h"
#include "platform/Palette.h"
#include "platform/TObject.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vidorant {

struct TOctreeNode {
  bool IsLeaf = false;
  uint8_t Depth = 0;
  uint32_t PixelCount = 0;
  // Component sums are 64-bit: a 32-bit sum overflows once one leaf holds 16.8 million
  // pixels, which a large picture of one colour reaches.
  uint64_t RedSum = 0;
  uint64_t GreenSum = 0;
  uint64_t BlueSum = 0;
  std::array<int32_t, 8> Child{-1, -1, -1, -1, -1, -1, -1, -1};
  int32_t NextReducible = -1;
  uint64_t Serial = 0;  // unique per creation; 0 once freed
};

class TColorQuantizer : public TObject {
public:
  // colorBits: depth of the tree, 1 to 8.
  TColorQuantizer(int maxColors, int colorBits);

  // Adds every pixel of a 24-bit image, rows from the top, columns left to right.
  void ProcessImage(const TDIBReader& image);
  void AddColor(uint8_t red, uint8_t green, uint8_t blue);
  int LeafCount() const { return LeafCount_; }
  // One quad per leaf, depth first, children in index order.
  std::vector<TRGBQuad> ColorTable() const;

private:
  int32_t CreateNode(int depth);
  static void AddToLeaf(TOctreeNode& leaf, uint8_t red, uint8_t green, uint8_t blue) {
    ++leaf.PixelCount;
    leaf.RedSum += red;
    leaf.GreenSum += green;
    leaf.BlueSum += blue;
  }
  void FreeNode(int32_t node);
  // Merges the front node of the deepest non-empty reducible list; false when there is none.
  bool Reduce();

  struct TMemoSlot {
    uint32_t Key = 0;  // colour | 1 << 24; 0 = empty
    int32_t Leaf = -1;
    uint64_t Serial = 0;  // the leaf's serial when remembered
  };
  static constexpr int MemoBits = 12;
  // A leaf no deeper than PrefixBits is where every colour with the same top PrefixBits bits of
  // each component ends, so once the tree has been reduced to such leaves, a table by those bits
  // answers for every colour, even colours never seen: on grainy pictures most colours are new.
  struct TPrefixSlot {
    int32_t Leaf = -1;
    uint32_t Serial = 0;  // the leaf's serial, valid while serials fit 32 bits
  };
  static constexpr int PrefixBits = 5;

  std::vector<TMemoSlot> Memo_;
  std::vector<TPrefixSlot> PrefixMemo_;
  uint64_t NextSerial_ = 1;
  std::vector<TOctreeNode> Pool_;
  std::vector<int32_t> FreeNodes_;
  int32_t Root_;
  int LeafCount_ = 0;
  std::array<int32_t, 9> Reducible_;
  int MaxColors_;
  int ColorBits_;
};

// A palette of `colors` entries (all black, flags no-collapse) filled from the octree of the
// image. With system colours: 256 entries, the 20 stock colours at 0-9 and 246-255 and up to
// 236 octree colours from entry 10. Without: the octree colours from entry 0. Entries the tree
// did not fill stay black.
TPalette CreateOptimizedPaletteFromManyBitmaps(const TDIBReader& image, int colors, int colorBits, bool systemColors);
// The same for one bitmap, read as 24 bits (the bitmap is converted in place).
TPalette CreateOptimizedPaletteFromSingleBitmap(TBitmap& bitmap, int colors, int colorBits, bool systemColors);

}  // namespace vidorant
