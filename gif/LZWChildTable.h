// The string table of the LZW encoder as a direct child table: the entry at
// (pixel << 12) | prefix holds the code of the string prefix + pixel, 0 when it has none (code 0
// is a colour, never assigned to a string). One lookup is one load, with no probing. Laid out by
// pixel first rather than with one row of 256 entries per prefix, the same lookups of a frame
// were measured 20 to 40% faster (most of a lookup's time is the wait for its cache line).
// Clearing zeroes only the entries set since the last clear, which the table lists, so a clear
// costs at most 4093 stores rather than the whole 2 MiB.
// The storage outlives the table: a table leaves it, cleared, to the next table made on the same
// thread. A converter encodes a new frame, with a new encoder, a few hundred times a second on
// each worker, and zeroing 2 MiB afresh for each (the allocator hands big blocks back to the
// system between frames, so each one faults its pages in again) cost more than the clears.
// Beside it, the table knows which codes stand for one colour repeated (the colour twice, three
// times, ...), and their codes by colour and length, so that the encoder can cross a run of one
// colour in one step instead of one lookup per pixel, each a likely cache miss in the big
// table: flat areas, which animation and screen captures are made of, cost most that
// way. Such a string's only parent is the same colour one shorter, so the lengths that have
// codes are always 1 (the colour itself) up to the longest.
// Invariant: every non-zero entry is in the list of entries set; prefix < 4096 and
// pixel < (1 << minimum code size) for every index given; a spare storage's child table is all
// zeros (its run records are written afresh by each reset, or read only below the longest run).
#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace vidorant {

class TLZWChildTable {
public:
  static constexpr int MaxCodes = 4096;
  static constexpr int MaxBitsPerPixel = 8;
  static constexpr int CodeBits = 12;

  TLZWChildTable() = default;
  ~TLZWChildTable() {
    if (!FStorage) return;
    Clear();
    std::unique_ptr<TStorage>& spare = Spare();
    if (!spare) spare = std::move(FStorage);
  }
  TLZWChildTable(const TLZWChildTable&) = delete;
  TLZWChildTable& operator=(const TLZWChildTable&) = delete;

  // Empties the table for images of a minimum code size of bitsPerPixel (2..8). The storage is
  // taken on first use (this thread's spare, or new) and kept for the encoder's later images.
  void Reset(int bitsPerPixel) {
    if (!FStorage) {
      FStorage = std::move(Spare());
      if (!FStorage) FStorage = std::make_unique<TStorage>();
      FChildren = FStorage->Children.get();
    }
    Clear();
    TStorage& s = *FStorage;
    for (int color = 0; color < 1 << bitsPerPixel; ++color) {
      s.RunLength[static_cast<size_t>(color)] = 1;
      s.RunColor[static_cast<size_t>(color)] = static_cast<uint8_t>(color);
    }
  }

  uint32_t Index(int prefix, uint8_t pixel) const {
    return static_cast<uint32_t>(pixel) << CodeBits | static_cast<uint32_t>(prefix);
  }
  // The code of the string at index, or 0.
  int At(uint32_t index) const { return FChildren[index]; }
  // Assigns code to the string prefix + pixel, whose entry, at index, is 0; at most MaxCodes
  // per Reset.
  void Add(uint32_t index, int prefix, uint8_t pixel, int code) {
    TStorage& s = *FStorage;
    FChildren[index] = static_cast<uint16_t>(code);
    s.Set[FSetCount++] = index;
    const int run = s.RunLength[static_cast<size_t>(prefix)];
    if (run != 0 && s.RunColor[static_cast<size_t>(prefix)] == pixel) {
      s.RunLength[static_cast<size_t>(code)] = static_cast<uint16_t>(run + 1);
      s.RunColor[static_cast<size_t>(code)] = pixel;
      s.RunCodes[RunIndex(pixel, run + 1)] = static_cast<uint16_t>(code);
      s.LongestRun[pixel] = static_cast<uint16_t>(run + 1);
    } else {
      s.RunLength[static_cast<size_t>(code)] = 0;
    }
  }

  // The longest run of color that has a code (1: the colour alone).
  int LongestRun(uint8_t color) const { return FStorage->LongestRun[color]; }
  // The code of color repeated length times, for 2 <= length <= LongestRun(color).
  int RunCode(uint8_t color, int length) const { return FStorage->RunCodes[RunIndex(color, length)]; }

private:
  struct TStorage {
    std::unique_ptr<uint16_t[]> Children = std::make_unique<uint16_t[]>(static_cast<size_t>(MaxCodes) << MaxBitsPerPixel);
    std::unique_ptr<uint32_t[]> Set = std::make_unique<uint32_t[]>(MaxCodes);  // indices set since the last clear
    // By code: how many times the string repeats one colour (0: it does not), and that colour.
    // Written for every code when it is made, and for the colours at each reset.
    std::array<uint16_t, MaxCodes> RunLength;
    std::array<uint8_t, MaxCodes> RunColor;
    // By colour and length; read only below each colour's longest run, so never cleared, and a
    // colour's row is touched only when that colour runs.
    std::unique_ptr<uint16_t[]> RunCodes = std::make_unique_for_overwrite<uint16_t[]>(size_t{1} << (MaxBitsPerPixel + CodeBits));
    std::array<uint16_t, 1 << MaxBitsPerPixel> LongestRun;
  };
  static size_t RunIndex(uint8_t color, int length) { return size_t{color} << CodeBits | static_cast<size_t>(length); }
  // One zeroed storage per thread, waiting for that thread's next table; freed when the thread ends.
  static std::unique_ptr<TStorage>& Spare() {
    static thread_local std::unique_ptr<TStorage> spare;
    return spare;
  }
  void Clear() {
    for (int i = 0; i < FSetCount; ++i) FChildren[FStorage->Set[i]] = 0;
    FSetCount = 0;
    FStorage->LongestRun.fill(1);
  }

  std::unique_ptr<TStorage> FStorage;  // owned until the table ends
  uint16_t* FChildren = nullptr;       // FStorage's, for the one-load lookup
  int FSetCount = 0;
};

}  // namespace vidorant
