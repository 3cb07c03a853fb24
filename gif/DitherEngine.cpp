// The nearest-colour engine, Floyd-Steinberg and the row-buffer error-diffusion engines.
#include "gif/DitherEngine.h"

#include <algorithm>

namespace vidorant {

namespace {

// c + (error + divisor / 2) / divisor, the division truncating towards zero, clamped to a byte.
inline uint8_t Corrected(uint8_t c, int32_t error, int32_t divisor) {
  return static_cast<uint8_t>(std::clamp(c + (error + divisor / 2) / divisor, 0, 255));
}

constexpr TDitherWeight StuckiWeights[] = {
    {0, 1, 8},  {0, 2, 4},                                                  //
    {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2},                //
    {2, -2, 1}, {2, -1, 2}, {2, 0, 4}, {2, 1, 2}, {2, 2, 1}};
constexpr TDitherWeight SierraWeights[] = {
    {0, 1, 5},  {0, 2, 3},                                                  //
    {1, -2, 2}, {1, -1, 4}, {1, 0, 5}, {1, 1, 4}, {1, 2, 2},                //
    {2, -1, 2}, {2, 0, 3},  {2, 1, 2}};
constexpr TDitherWeight JaJuNiWeights[] = {
    {0, 1, 7},  {0, 2, 5},                                                  //
    {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5}, {1, 2, 3},                //
    {2, -2, 1}, {2, -1, 3}, {2, 0, 5}, {2, 1, 3}, {2, 2, 1}};
constexpr TDitherWeight SteveArcheWeights[] = {
    {0, 2, 32},                                                             //
    {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16},                       //
    {2, -2, 12}, {2, 0, 26},  {2, 2, 12},                                   //
    {3, -3, 5},  {3, -1, 12}, {3, 1, 12}, {3, 3, 5}};
constexpr TDitherWeight BurkesWeights[] = {
    {0, 1, 8},  {0, 2, 4},                                                  //
    {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}};

}  // namespace

uint8_t TDitherEngine::Dither(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  const uint8_t index = Lookup_->Lookup(red, green, blue, r, g, b);
  Column_ += Direction_;
  return index;
}

void TDitherEngine::NextLine() {
  Direction_ = -Direction_;
  Column_ = Direction_ > 0 ? 0 : Width_ - 1;
}

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int width, TColorLookup* lookup) : TDitherEngine(width, lookup) {
  for (std::vector<int32_t>& errors : Errors_) errors.assign(static_cast<size_t>(width) + 2, 0);
  Cursor_ = 1;
}

uint8_t TFloydSteinbergDitherer::Dither(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  const uint8_t wanted[3] = {red, green, blue};
  uint8_t corrected[3];
  for (size_t c = 0; c < 3; ++c)
    corrected[c] = Corrected(wanted[c], Errors_[c][static_cast<size_t>(Cursor_)] + Running_[c].Carried, 16);
  const uint8_t index = TDitherEngine::Dither(corrected[0], corrected[1], corrected[2], r, g, b);
  const uint8_t chosen[3] = {r, g, b};
  // The pixel just visited has read its entry: it becomes the next row's, complete now that
  // this pixel's below-behind share is known. An error of 0 adds nothing but still moves the
  // running values along, or the earlier pixels' shares would land a column off.
  const size_t behind = static_cast<size_t>(Cursor_ - Direction_);
  for (size_t c = 0; c < 3; ++c) {
    TRunning& run = Running_[c];
    const int32_t err = corrected[c] - chosen[c];
    Errors_[c][behind] = run.BelowBehind + 3 * err;
    run.BelowBehind = run.Below + 5 * err;
    run.Below = err;
    run.Carried = 7 * err;
  }
  Cursor_ += Direction_;
  return index;
}

void TFloydSteinbergDitherer::NextLine() {
  const size_t last = static_cast<size_t>(Cursor_ - Direction_);
  for (size_t c = 0; c < 3; ++c) {
    Errors_[c][last] = Running_[c].BelowBehind;
    Running_[c] = TRunning();
  }
  TDitherEngine::NextLine();
  Cursor_ = Column_ + 1;
}

TErrorRowDitherer::TErrorRowDitherer(int width, TColorLookup* lookup, int rows, int margin, int divisor,
                                     std::span<const TDitherWeight> weights)
    : TDitherEngine(width, lookup), Margin_(margin), Divisor_(divisor), Weights_(weights) {
  for (auto& component : Rows_)
    component.assign(static_cast<size_t>(rows), std::vector<int32_t>(static_cast<size_t>(width + 2 * margin), 0));
  ResetCursor();
}

void TErrorRowDitherer::Propagate(int component, int32_t error) {
  auto& rows = Rows_[static_cast<size_t>(component)];
  for (const TDitherWeight& w : Weights_)
    rows[static_cast<size_t>(w.Row)][static_cast<size_t>(Cursor_ + w.Offset * Direction_)] += error * w.Weight;
}

uint8_t TErrorRowDitherer::Dither(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  const uint8_t wanted[3] = {red, green, blue};
  uint8_t corrected[3];
  for (size_t c = 0; c < 3; ++c) corrected[c] = Corrected(wanted[c], Rows_[c][0][static_cast<size_t>(Cursor_)], Divisor_);
  const uint8_t index = TDitherEngine::Dither(corrected[0], corrected[1], corrected[2], r, g, b);
  const uint8_t chosen[3] = {r, g, b};
  for (int c = 0; c < 3; ++c) {
    const int32_t err = corrected[c] - chosen[c];
    if (err != 0) Propagate(c, err);
  }
  Cursor_ += Direction_;
  return index;
}

void TErrorRowDitherer::NextLine() {
  for (auto& rows : Rows_) {
    std::fill(rows[0].begin(), rows[0].end(), 0);
    std::rotate(rows.begin(), rows.begin() + 1, rows.end());  // swaps buffers, copies no entries
  }
  TDitherEngine::NextLine();
  ResetCursor();
}

TStuckiDitherer::TStuckiDitherer(int width, TColorLookup* lookup) : T5by3Ditherer(width, lookup, 42, StuckiWeights) {}
TSierraDitherer::TSierraDitherer(int width, TColorLookup* lookup) : T5by3Ditherer(width, lookup, 32, SierraWeights) {}
TJaJuNiDitherer::TJaJuNiDitherer(int width, TColorLookup* lookup) : T5by3Ditherer(width, lookup, 48, JaJuNiWeights) {}
TSteveArcheDitherer::TSteveArcheDitherer(int width, TColorLookup* lookup)
    : TErrorRowDitherer(width, lookup, 4, 3, 200, SteveArcheWeights) {}
TBurkesDitherer::TBurkesDitherer(int width, TColorLookup* lookup)
    : TErrorRowDitherer(width, lookup, 2, 2, 32, BurkesWeights) {}

std::unique_ptr<TDitherEngine> CreateDitherEngine(TDitherMode method, int width, TColorLookup* lookup) {
  switch (method) {
    case DitherNearest: return std::make_unique<TDitherEngine>(width, lookup);
    case DitherFloydSteinberg: return std::make_unique<TFloydSteinbergDitherer>(width, lookup);
    case DitherStucki: return std::make_unique<TStuckiDitherer>(width, lookup);
    case DitherSierra: return std::make_unique<TSierraDitherer>(width, lookup);
    case DitherJaJuNi: return std::make_unique<TJaJuNiDitherer>(width, lookup);
    case DitherSteveArche: return std::make_unique<TSteveArcheDitherer>(width, lookup);
    case DitherBurkes: return std::make_unique<TBurkesDitherer>(width, lookup);
    default: return nullptr;
  }
}

}  // namespace vidorant
