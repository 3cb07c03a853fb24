// Logical palettes, the stock palettes and the nearest-entry search.
#include "platform/Palette.h"

#include "platform/Exception.h"
#include "platform/NearestColorIndex.h"

#include <array>

namespace vidorant {

namespace {

constexpr std::array<TPaletteEntry, 20> SystemColors = {{
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};

void CheckCount(size_t count) {
  if (count > static_cast<size_t>(TPalette::MaxEntries)) throw EInvalidGraphic("Palette has more than 256 entries");
}

}  // namespace

TPalette::TPalette() = default;

TPalette::TPalette(std::vector<TPaletteEntry> entries) {
  CheckCount(entries.size());
  Entries_ = std::move(entries);
}

// The search cache belongs to one object and is rebuilt by the copy on demand.
TPalette::TPalette(const TPalette& other) : Entries_(other.Entries_) {}
TPalette& TPalette::operator=(const TPalette& other) {
  if (this != &other) {
    Entries_ = other.Entries_;
    Invalidate();
  }
  return *this;
}
TPalette::TPalette(TPalette&& other) noexcept = default;
TPalette& TPalette::operator=(TPalette&& other) noexcept = default;
TPalette::~TPalette() = default;

TPalette TPalette::Default() { return TPalette(std::vector<TPaletteEntry>(SystemColors.begin(), SystemColors.end())); }

TPalette TPalette::Halftone() {
  std::vector<TPaletteEntry> entries(SystemColors.begin(), SystemColors.begin() + 10);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        entries.push_back({static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g), static_cast<uint8_t>(51 * b), 0});
  // Twenty greys evenly between black and white; none repeats a grey of the cube or the
  // system colours.
  for (int k = 1; k <= 20; ++k) {
    const auto level = static_cast<uint8_t>((255 * k + 10) / 21);
    entries.push_back({level, level, level, 0});
  }
  entries.insert(entries.end(), SystemColors.begin() + 10, SystemColors.end());
  return TPalette(std::move(entries));
}

void TPalette::SetEntries(std::vector<TPaletteEntry> entries) {
  CheckCount(entries.size());
  Entries_ = std::move(entries);
  Invalidate();
}

void TPalette::SetEntry(int index, const TPaletteEntry& entry) {
  if (index < 0 || index >= Count()) throw EInvalidGraphic("Palette index out of range");
  Entries_[static_cast<size_t>(index)] = entry;
  Invalidate();
}

int TPalette::GetNearestPaletteIndex(TColor color) const {
  if (Entries_.empty()) return -1;
  if (!Search_) Search_ = std::make_unique<TNearestColorIndex>(Entries_);
  return Search_->Find(GetRValue(color), GetGValue(color), GetBValue(color));
}

void TPalette::Invalidate() { Search_.reset(); }

}  // namespace vidorant
