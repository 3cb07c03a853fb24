// Helpers of the reader tests: loading bytes into a document with its warnings recorded, hand-made
// image data (codes packed least significant bit first), and a deep comparison of two documents.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "gif/GIFAppExtension.h"
#include "gif/GIFImage.h"
#include "platform/MemoryStream.h"

namespace vidorant::testing {

struct TLoadResult {
  std::vector<std::string> Warnings;
  std::string Error;  // empty when the load succeeded
  int64_t PositionAfter = 0;
};

inline TLoadResult LoadBytes(TGIFImage& image, const std::vector<uint8_t>& bytes, int64_t start = 0) {
  TLoadResult result;
  image.OnWarning = [&result](TObject*, TGIFSeverity, const std::string& message) { result.Warnings.push_back(message); };
  TMemoryStream stream;
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(start);
  try {
    image.LoadFromStream(stream);
  } catch (const GIFException& e) {
    result.Error = e.Message;
  }
  result.PositionAfter = stream.GetPosition();
  image.OnWarning = nullptr;
  return result;
}

// Codes given as (code, width) packed into bytes, least significant bit first.
inline std::vector<uint8_t> PackCodes(const std::vector<std::pair<int, int>>& codes) {
  std::vector<uint8_t> bytes;
  uint32_t bits = 0;
  int count = 0;
  for (auto [code, width] : codes) {
    bits |= static_cast<uint32_t>(code) << count;
    count += width;
    while (count >= 8) {
      bytes.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  }
  if (count > 0) bytes.push_back(static_cast<uint8_t>(bits));
  return bytes;
}

// "GIF89a", a screen of width x height without a global table.
inline std::vector<uint8_t> HeaderBytes(int width, int height) {
  return {'G', 'I', 'F', '8', '9', 'a', static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
          static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8), 0, 0, 0};
}

// An image descriptor at (0, 0) with a local table of 4 entries (size field 1), then the code
// size byte and codes as one sub-block; terminator only when terminated.
inline std::vector<uint8_t> ImageBytes(int width, int height, bool interlaced, int codeSize, const std::vector<uint8_t>& codes,
                                       bool terminated = true) {
  std::vector<uint8_t> bytes{0x2C, 0, 0, 0, 0, static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
                             static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8),
                             static_cast<uint8_t>(0x81 | (interlaced ? 0x40 : 0))};
  for (int i = 0; i < 4; ++i)
    for (int c = 0; c < 3; ++c) bytes.push_back(static_cast<uint8_t>(i * 60 + c));
  bytes.push_back(static_cast<uint8_t>(codeSize));
  if (!codes.empty()) {
    bytes.push_back(static_cast<uint8_t>(codes.size()));
    bytes.insert(bytes.end(), codes.begin(), codes.end());
  }
  if (terminated) bytes.push_back(0);
  return bytes;
}

inline void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& more) { to.insert(to.end(), more.begin(), more.end()); }

// The table as written: the entries, padded with black to a power of two.
inline std::vector<TGIFColor> PaddedTable(const TGIFColorMap& map) {
  std::vector<TGIFColor> colors;
  for (int i = 0; i < map.Count(); ++i) colors.push_back(map.Color(i));
  if (map.Count() > 0) colors.resize(size_t{1} << map.BitsPerPixel());
  return colors;
}

inline void ExpectSameExtension(const TGIFExtension& a, const TGIFExtension& b, const std::string& where) {
  ASSERT_EQ(typeid(a), typeid(b)) << where;
  if (auto* x = dynamic_cast<const TGIFGraphicControlExtension*>(&a)) {
    auto* y = dynamic_cast<const TGIFGraphicControlExtension*>(&b);
    EXPECT_EQ(x->Packed(), y->Packed()) << where;
    EXPECT_EQ(x->Delay(), y->Delay()) << where;
    EXPECT_EQ(x->TransparentColorIndex(), y->TransparentColorIndex()) << where;
  } else if (auto* x = dynamic_cast<const TGIFTextExtension*>(&a)) {
    auto* y = dynamic_cast<const TGIFTextExtension*>(&b);
    EXPECT_EQ(std::tie(x->Left, x->Top, x->GridWidth, x->GridHeight, x->CellWidth, x->CellHeight, x->ForegroundColorIndex,
                       x->BackgroundColorIndex),
              std::tie(y->Left, y->Top, y->GridWidth, y->GridHeight, y->CellWidth, y->CellHeight, y->ForegroundColorIndex,
                       y->BackgroundColorIndex))
        << where;
  } else if (auto* x = dynamic_cast<const TGIFAppExtNSLoop*>(&a)) {
    auto* y = dynamic_cast<const TGIFAppExtNSLoop*>(&b);
    EXPECT_EQ(x->Identifier, y->Identifier) << where;
    EXPECT_EQ(x->Loops, y->Loops) << where;
    EXPECT_EQ(x->BufferSize, y->BufferSize) << where;
  } else if (auto* x = dynamic_cast<const TGIFUnknownAppExtension*>(&a)) {
    auto* y = dynamic_cast<const TGIFUnknownAppExtension*>(&b);
    EXPECT_EQ(x->Identifier, y->Identifier) << where;
    ASSERT_EQ(x->Blocks.size(), y->Blocks.size()) << where;
    for (size_t i = 0; i < x->Blocks.size(); ++i) EXPECT_EQ(x->Blocks[i]->Data(), y->Blocks[i]->Data()) << where;
  }
  // Text lines are compared as the sub-blocks they become: a line of 300 bytes reads back as
  // a 255-byte and a 45-byte line.
  if (auto* x = dynamic_cast<const TGIFTextLinesExtension*>(&a)) {
    auto* y = dynamic_cast<const TGIFTextLinesExtension*>(&b);
    std::string joinedX, joinedY;
    for (const auto& line : x->Lines) joinedX += line;
    for (const auto& line : y->Lines) joinedY += line;
    EXPECT_EQ(joinedX, joinedY) << where;
  }
}

// Frames, bounds, tables (sort flags included), extensions and pixels of two documents.
inline void ExpectSameDocument(const TGIFImage& a, const TGIFImage& b) {
  EXPECT_EQ(a.GetWidth(), b.GetWidth());
  EXPECT_EQ(a.GetHeight(), b.GetHeight());
  EXPECT_EQ(PaddedTable(a.Header().ColorMap()), PaddedTable(b.Header().ColorMap()));
  EXPECT_EQ(a.Header().ColorMap().Optimized(), b.Header().ColorMap().Optimized());
  ASSERT_EQ(a.Images().Count(), b.Images().Count());
  for (int i = 0; i < a.Images().Count(); ++i) {
    const TGIFSubImage& x = *a.Images()[i];
    const TGIFSubImage& y = *b.Images()[i];
    std::string where = "frame " + std::to_string(i);
    EXPECT_EQ(x.BoundsRect(), y.BoundsRect()) << where;
    EXPECT_EQ(x.Interlaced(), y.Interlaced()) << where;
    EXPECT_EQ(x.Transparent(), y.Transparent()) << where;
    EXPECT_EQ(PaddedTable(x.ColorMap()), PaddedTable(y.ColorMap())) << where;
    EXPECT_EQ(x.ColorMap().Optimized(), y.ColorMap().Optimized()) << where;
    EXPECT_EQ(std::vector<uint8_t>(x.Data(), x.Data() + x.DataSize()), std::vector<uint8_t>(y.Data(), y.Data() + y.DataSize()))
        << where;
    ASSERT_EQ(x.Extensions().Count(), y.Extensions().Count()) << where;
    for (int e = 0; e < x.Extensions().Count(); ++e)
      ExpectSameExtension(*x.Extensions()[e], *y.Extensions()[e], where + " extension " + std::to_string(e));
  }
}

}  // namespace vidorant::testing
