// The string table of the LZW encoder as a direct child table: the entry at
// (prefix << minimum code size) | pixel holds the code of the string prefix + pixel, 0 when it
// has none (code 0 is a colour, never assigned to a string). One lookup is one load, with no
// probing. Clearing zeroes only the entries set since the last clear, which the table lists, so
// a clear costs at most 4093 stores rather than the whole 2 MiB.
// Invariant: every non-zero entry is in the list of entries set; prefix < 4096 and
// pixel < (1 << minimum code size) for every index given.
#pragma once

#include <cstdint>
#include <memory>

namespace vidorant {

class TLZWChildTable {
public:
  static constexpr int MaxCodes = 4096;
  static constexpr int MaxBitsPerPixel = 8;

  // Empties the table and keys it for a minimum code size of bitsPerPixel (2..8). The storage is
  // allocated on first use and kept for the encoder's later images.
  void Reset(int bitsPerPixel) {
    if (!FChildren) {
      FChildren = std::make_unique<uint16_t[]>(static_cast<size_t>(MaxCodes) << MaxBitsPerPixel);
      FSet = std::make_unique<uint32_t[]>(MaxCodes);
    }
    for (int i = 0; i < FSetCount; ++i) FChildren[FSet[i]] = 0;
    FSetCount = 0;
    FShift = bitsPerPixel;
  }

  uint32_t Index(int prefix, uint8_t pixel) const { return (static_cast<uint32_t>(prefix) << FShift) | pixel; }
  // The code of the string at index, or 0.
  int At(uint32_t index) const { return FChildren[index]; }
  // Assigns code to the string at an index whose entry is 0; at most MaxCodes per Reset.
  void Set(uint32_t index, int code) {
    FChildren[index] = static_cast<uint16_t>(code);
    FSet[FSetCount++] = index;
  }

private:
  std::unique_ptr<uint16_t[]> FChildren;  // MaxCodes << MaxBitsPerPixel entries, owned
  std::unique_ptr<uint32_t[]> FSet;       // indices set since the last Reset, owned
  int FSetCount = 0;
  int FShift = 0;
};

}  // namespace vidorant
