// The pooled, memoised octree must build exactly the tree of the plain algorithm: this test
// carries the plain algorithm (one heap node per tree node, a walk from the root for every
// pixel) and compares colour tables on pictures of many kinds.
#include "gif/ColorQuantizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>

namespace vidorant {
namespace {

class TPlainOctree {
public:
  TPlainOctree(int maxColors, int colorBits) : MaxColors(maxColors), ColorBits(colorBits) { Root = Create(0); }

  void Add(uint8_t red, uint8_t green, uint8_t blue) {
    Node* node = Root.get();
    for (int depth = 0; !node->Leaf; ++depth) {
      const int bit = 7 - depth;
      const int i = (((red >> bit) & 1) << 2) | (((green >> bit) & 1) << 1) | ((blue >> bit) & 1);
      if (!node->Child[i]) node->Child[i] = Create(depth + 1);
      node = node->Child[i].get();
    }
    ++node->Count;
    node->Sum[0] += red;
    node->Sum[1] += green;
    node->Sum[2] += blue;
    while (Leaves > MaxColors) {
      int depth = ColorBits - 1;
      while (depth > 0 && Reducible[depth].empty()) --depth;
      if (Reducible[depth].empty()) break;
      Node* reduced = Reducible[depth].back();  // the most recently created is at the front
      Reducible[depth].pop_back();
      int children = 0;
      for (auto& child : reduced->Child) {
        if (!child) continue;
        reduced->Count += child->Count;
        for (int c = 0; c < 3; ++c) reduced->Sum[c] += child->Sum[c];
        child.reset();
        ++children;
      }
      reduced->Leaf = true;
      Leaves -= children - 1;
    }
  }

  std::vector<TColor> Colors() const {
    std::vector<TColor> out;
    Walk(Root.get(), out);
    return out;
  }

private:
  struct Node {
    bool Leaf = false;
    uint64_t Count = 0;
    uint64_t Sum[3] = {0, 0, 0};
    std::unique_ptr<Node> Child[8];
  };

  std::unique_ptr<Node> Create(int depth) {
    auto node = std::make_unique<Node>();
    if (depth == ColorBits) {
      node->Leaf = true;
      ++Leaves;
    } else {
      Reducible[depth].push_back(node.get());
    }
    return node;
  }

  static void Walk(const Node* node, std::vector<TColor>& out) {
    if (node->Leaf) {
      const uint64_t n = node->Count;
      out.push_back(n ? RGB(uint8_t(node->Sum[0] / n), uint8_t(node->Sum[1] / n), uint8_t(node->Sum[2] / n)) : 0);
      return;
    }
    for (const auto& child : node->Child)
      if (child) Walk(child.get(), out);
  }

  int MaxColors;
  int ColorBits;
  int Leaves = 0;
  std::vector<Node*> Reducible[8];
  std::unique_ptr<Node> Root;
};

TEST(OctreeQuantizer, BuildsExactlyThePlainAlgorithmsTree) {
  std::mt19937 rng(77);
  std::uniform_int_distribution<int> byte(0, 255), small(-3, 3);
  struct Picture {
    const char* Name;
    std::function<TColor(int x, int y)> Pixel;
  };
  const std::vector<Picture> pictures = {
      {"noise", [&](int, int) { return RGB(byte(rng), byte(rng), byte(rng)); }},
      {"gradient", [&](int x, int y) { return RGB(uint8_t(x * 2), uint8_t(y * 3), uint8_t((x + y) & 255)); }},
      {"gradient+grain", [&](int x, int y) {
         const int g = small(rng);
         return RGB(uint8_t(std::clamp(60 + x / 3 + g, 0, 255)), uint8_t(std::clamp(90 + y / 2 + g, 0, 255)),
                    uint8_t(std::clamp(170 - y / 4 + g, 0, 255)));
       }},
      {"few colours", [&](int x, int y) { return RGB(uint8_t((x / 20) * 40), uint8_t((y / 20) * 50), 7); }},
  };
  // Depths of 4 and 6 put leaves above, at and below the depth of the colour prefixes the
  // quantizer remembers leaves by.
  for (const Picture& picture : pictures)
    for (int maxColors : {1, 16, 236, 255})
      for (int colorBits : {8, 6, 4}) {
        TColorQuantizer pooled(maxColors, colorBits);
        TPlainOctree plain(maxColors, colorBits);
        for (int y = 0; y < 90; ++y)
          for (int x = 0; x < 120; ++x) {
            const TColor c = picture.Pixel(x, y);
            pooled.AddColor(GetRValue(c), GetGValue(c), GetBValue(c));
            plain.Add(GetRValue(c), GetGValue(c), GetBValue(c));
          }
        std::vector<TColor> pooledColors;
        for (const TRGBQuad& q : pooled.ColorTable()) pooledColors.push_back(QuadColor(q));
        EXPECT_EQ(pooledColors, plain.Colors()) << picture.Name << " max " << maxColors << " depth " << colorBits;
        EXPECT_LE(static_cast<int>(pooledColors.size()), maxColors);
      }
}

}  // namespace
}  // namespace vidorant
