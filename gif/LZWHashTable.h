// The string table of the LZW encoder as an open-addressed hash of 8009 slots. A slot holds
// (key << 12) | code, key = (prefix << 8) | pixel (20 bits), code 12 bits; a value of
// 0xFFFFF000 or more marks an empty slot (prefix 4095 is never assigned, so no key collides
// with it). Invariant: the table never fills up (at most 4096 codes per clear, 8009 slots), so
// every probe sequence reaches an empty slot.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace vidorant {

class THashTable {
public:
  static constexpr int Size = 8009;  // prime, so the probe sequence visits every slot

  THashTable() : FSlots(Size) { Clear(); }

  void Clear() { std::memset(FSlots.data(), 0xFF, Size * sizeof(uint32_t)); }

  void Insert(uint32_t key, int code) {
    int slot;
    if (Find(key, slot) < 0) InsertAt(slot, key, code);
  }

  // The code stored for key, or -1.
  int Lookup(uint32_t key) const {
    int slot;
    return Find(key, slot);
  }

  // Lookup that also gives, on a miss, the empty slot where key belongs, so the encoder's
  // miss-then-insert walks the probe sequence once.
  int Find(uint32_t key, int& slot) const {
    int h = Home(key);
    int d = Displacement(h);
    for (uint32_t value = FSlots[h]; !IsEmpty(value); value = FSlots[h]) {
      if ((value >> 12) == key) {
        slot = h;
        return static_cast<int>(value & 0xFFF);
      }
      h = Step(h, d);
    }
    slot = h;
    return -1;
  }

  // Stores key at a slot that Find reported empty.
  void InsertAt(int slot, uint32_t key, int code) { FSlots[slot] = (key << 12) | (static_cast<uint32_t>(code) & 0xFFF); }

private:
  static bool IsEmpty(uint32_t slot) { return slot >= 0xFFFFF000u; }
  static int Home(uint32_t key) { return static_cast<int>((key ^ (key >> 4)) % Size); }
  static int Displacement(int h) { return h == 0 ? 1 : Size - h; }
  static int Step(int h, int d) {
    h -= d;
    return h < 0 ? h + Size : h;
  }

  std::vector<uint32_t> FSlots;  // allocated once per encoder
};

}  // namespace vidorant
