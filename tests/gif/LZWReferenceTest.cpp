// The LZW encoder against a plain reference coder written from the format's rules (a map for
// the string table, codes packed one bit at a time): the same bytes for whole frames, and on a
// colour outside the table exactly the whole bytes of the codes output before it.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <utility>

#include "gif/GIFException.h"
#include "gif/LZWEncoder.h"
#include "platform/MemoryStream.h"

namespace vidorant {
namespace {

// The packed code stream of pixels (without framing). With stopAt, only the codes output
// before pixel stopAt is reached, and only their whole bytes.
std::vector<uint8_t> ReferenceCodes(int bits, const std::vector<uint8_t>& pixels, size_t stopAt = SIZE_MAX) {
  std::vector<bool> stream;
  const int clear = 1 << bits;
  int width = bits + 1, next = clear + 2;
  std::map<std::pair<int, int>, int> table;
  const auto put = [&](int code) {
    for (int i = 0; i < width; ++i) stream.push_back((code >> i) & 1);
  };
  const auto grow = [&] {
    if (next > (1 << width) - 1 && width < 12) ++width;
  };
  put(clear);
  int prefix = pixels[0];
  size_t i = 1;
  for (; i < pixels.size() && i < stopAt; ++i) {
    const auto found = table.find({prefix, pixels[i]});
    if (found != table.end()) {
      prefix = found->second;
      continue;
    }
    put(prefix);
    grow();  // by the next free code before this string is added, as a decoder counts
    if (next > 4094) {
      put(clear);
      table.clear();
      width = bits + 1;
      next = clear + 2;
    } else {
      table[{prefix, pixels[i]}] = next++;
    }
    prefix = pixels[i];
  }
  if (i == pixels.size()) {
    put(prefix);
    grow();
    put(clear + 1);
    while (stream.size() % 8 != 0) stream.push_back(false);
  }
  std::vector<uint8_t> bytes(stream.size() / 8);
  for (size_t b = 0; b < bytes.size() * 8; ++b) bytes[b / 8] |= static_cast<uint8_t>(stream[b] << (b % 8));
  return bytes;
}

// Code size byte and sub-blocks without the terminator, unframed.
std::vector<uint8_t> Unframe(const std::vector<uint8_t>& bytes, bool terminated) {
  std::vector<uint8_t> data;
  size_t offset = 1;
  while (offset < bytes.size() && bytes[offset] != 0) {
    data.insert(data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset) + 1,
                bytes.begin() + static_cast<std::ptrdiff_t>(offset + 1 + bytes[offset]));
    offset += 1 + bytes[offset];
  }
  EXPECT_EQ(offset + (terminated ? 1 : 0), bytes.size());
  return data;
}

TEST(LZWReference, SameCodesAsThePlainCoderAndWholeBytesKeptOnABadColour) {
  std::mt19937 random(77);
  for (int bits : {2, 5, 8}) {
    // Runs of random length, long enough for several table clears at 8 bits.
    std::vector<uint8_t> pixels;
    while (pixels.size() < 60000) pixels.insert(pixels.end(), 1 + random() % 4, uint8_t(random() % (1u << bits)));
    TMemoryStream whole;
    TLZWEncoder().Compress(whole, bits, 1 << bits, pixels.data(), false, 1, static_cast<int>(pixels.size()));
    EXPECT_EQ(Unframe(whole.Bytes(), true), ReferenceCodes(bits, pixels)) << bits << " bits";

    // A colour outside a table one entry short, at positions that leave every bit phase pending.
    for (size_t stop : {size_t(1), size_t(2), size_t(3), size_t(97), size_t(1001), size_t(1002), size_t(33333)}) {
      std::vector<uint8_t> bad = pixels;
      for (uint8_t& p : bad) p = p == (1 << bits) - 1 ? 0 : p;
      bad[stop] = static_cast<uint8_t>((1 << bits) - 1);
      TMemoryStream failed;
      EXPECT_THROW(TLZWEncoder().Compress(failed, bits, (1 << bits) - 1, bad.data(), false, 1, static_cast<int>(bad.size())),
                   GIFException);
      EXPECT_EQ(Unframe(failed.Bytes(), false), ReferenceCodes(bits, bad, stop)) << bits << " bits, stop " << stop;
    }
  }
}

// Long runs of one colour, which the encoder crosses by the codes of the longer repeats: the
// same codes as the plain coder when runs outgrow the repeats the table knows, end at a row of
// an interlaced image (the walk's stretches end there), or outlast a full table.
TEST(LZWReference, LongRunsGiveTheSameCodesAsThePlainCoder) {
  struct Case {
    int bits, maxRun, width, height;
    bool interlaced;
  };
  std::mt19937 random(31);
  for (const Case& c : {Case{8, 600, 300, 200, false}, Case{2, 5000, 400, 300, false}, Case{4, 60, 37, 29, true},
                        Case{8, 20, 320, 240, true}}) {
    std::vector<uint8_t> pixels;
    const size_t count = static_cast<size_t>(c.width) * c.height;
    while (pixels.size() < count)
      pixels.insert(pixels.end(), 1 + random() % static_cast<unsigned>(c.maxRun), uint8_t(random() % (1u << c.bits)));
    pixels.resize(count);
    std::vector<uint8_t> walk = pixels;
    if (c.interlaced) {
      // Rows 0, 8, ... then 4, 12, ... then 2, 6, ... then the odd rows.
      walk.clear();
      for (const auto& [first, step] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}})
        for (int y = first; y < c.height; y += step)
          walk.insert(walk.end(), pixels.begin() + static_cast<std::ptrdiff_t>(y) * c.width,
                      pixels.begin() + static_cast<std::ptrdiff_t>(y + 1) * c.width);
    }
    TMemoryStream stream;
    TLZWEncoder().Compress(stream, c.bits, 1 << c.bits, pixels.data(), c.interlaced, c.height, c.width);
    EXPECT_EQ(Unframe(stream.Bytes(), true), ReferenceCodes(c.bits, walk))
        << c.bits << " bits, runs up to " << c.maxRun << (c.interlaced ? ", interlaced" : "");
  }
}

// One encoder serves many images: strings left in its table by an image at another code size,
// or by one that stopped at a bad colour, must not leak into the next image's codes.
TEST(LZWReference, ReusedEncoderForgetsTheStringsOfEarlierImages) {
  std::mt19937 random(5);
  const auto runs = [&](int bits, size_t count) {
    std::vector<uint8_t> pixels;
    while (pixels.size() < count) pixels.insert(pixels.end(), 1 + random() % 3, uint8_t(random() % (1u << bits)));
    return pixels;
  };
  TLZWEncoder encoder;
  const std::vector<uint8_t> eight = runs(8, 30000), two = runs(2, 30000);
  std::vector<uint8_t> broken = eight;
  for (uint8_t& p : broken) p = p == 255 ? 0 : p;
  broken[20000] = 255;
  TMemoryStream failed;
  EXPECT_THROW(encoder.Compress(failed, 8, 255, broken.data(), false, 1, static_cast<int>(broken.size())), GIFException);
  struct Case {
    int bits;
    const std::vector<uint8_t>* pixels;
  };
  for (const Case& c : {Case{2, &two}, Case{8, &eight}, Case{2, &two}}) {
    TMemoryStream stream;
    encoder.Compress(stream, c.bits, 1 << c.bits, c.pixels->data(), false, 1, static_cast<int>(c.pixels->size()));
    EXPECT_EQ(Unframe(stream.Bytes(), true), ReferenceCodes(c.bits, *c.pixels)) << c.bits << " bits";
  }
}

}  // namespace
}  // namespace vidorant
