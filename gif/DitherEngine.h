// Dither engines: map each pixel of a row to a palette index through a colour lookup, walking
// the image in serpentine order (first row left to right, the next right to left, ...). The
// error-diffusion engines spread the difference between the wanted and the chosen colour onto
// pixels not visited yet, in integers. Invariant: Column() is the column the next Dither call
// stands for; it leaves 0 ... width - 1 exactly when the row is done.
#pragma once

#include "gif/ColorLookup.h"
#include "platform/TObject.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace vidorant {

// The dither methods, numbered as a document's DitherMethod stores them.
enum TDitherMode : uint8_t {
  DitherNearest = 0,
  DitherFloydSteinberg = 1,
  DitherStucki = 2,
  DitherSierra = 3,
  DitherJaJuNi = 4,
  DitherSteveArche = 5,
  DitherBurkes = 6,
};

constexpr bool IsKnownDitherMode(TDitherMode mode) { return mode <= DitherBurkes; }

// The nearest-colour engine: every pixel maps to the lookup's answer on its own.
class TDitherEngine : public TObject {
public:
  // The lookup is not owned and must outlive the engine.
  TDitherEngine(int width, TColorLookup* lookup) : Lookup_(lookup), Width_(width) {}

  // Index for the pixel at Column(); r, g, b receive the chosen colour. Advances the column.
  virtual uint8_t Dither(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b);
  // Reverses the direction; the next row starts at column 0 (left to right) or width - 1.
  virtual void NextLine();

  int Column() const { return Column_; }
  int Direction() const { return Direction_; }
  int Width() const { return Width_; }

protected:
  TColorLookup* Lookup_;
  int Direction_ = 1;
  int Column_ = 0;
  int Width_;
};

// Floyd-Steinberg with one error array of width + 2 entries per component, in sixteenths: the
// next row's column x is entry x + 1, the end entries take what falls outside the image. A
// pixel's entry is read before the entry behind it is rewritten for the next row, from running
// values for the pixel ahead, the pixel below and the pixel below-behind.
class TFloydSteinbergDitherer : public TDitherEngine {
public:
  TFloydSteinbergDitherer(int width, TColorLookup* lookup);
  uint8_t Dither(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
  void NextLine() override;

  // Inspection for tests: the error array of component 0 (red), 1 (green) or 2 (blue).
  const std::vector<int32_t>& Errors(int component) const { return Errors_[static_cast<size_t>(component)]; }
  int Cursor() const { return Cursor_; }

private:
  struct TRunning {
    int32_t Carried = 0;      // for the next pixel of this row
    int32_t Below = 0;        // for the pixel below
    int32_t BelowBehind = 0;  // for the pixel below the one just visited
  };
  std::array<std::vector<int32_t>, 3> Errors_;
  std::array<TRunning, 3> Running_;
  int Cursor_ = 0;
};

// One weight of a diffusion kernel: the row (0 = current) and the offset along the scan
// direction (+1 = the next pixel in scan order).
struct TDitherWeight {
  int Row;
  int Offset;
  int Weight;
};

// Shared machinery of the row-buffer engines: per component `rows` error rows of
// width + 2 * margin accumulators; column x is entry x + margin, the spare entries at each end
// absorb weights that fall outside the image. Rows are rotated, never copied.
class TErrorRowDitherer : public TDitherEngine {
public:
  uint8_t Dither(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
  void NextLine() override;

  // Inspection for tests: error row `row` of component 0 (red), 1 (green) or 2 (blue).
  const std::vector<int32_t>& ErrorRow(int component, int row) const {
    return Rows_[static_cast<size_t>(component)][static_cast<size_t>(row)];
  }
  int Cursor() const { return Cursor_; }
  int Margin() const { return Margin_; }
  int RowCount() const { return static_cast<int>(Rows_[0].size()); }

protected:
  TErrorRowDitherer(int width, TColorLookup* lookup, int rows, int margin, int divisor, std::span<const TDitherWeight> weights);

private:
  void Propagate(int component, int32_t error);
  void ResetCursor() { Cursor_ = Margin_ + Column_; }

  std::array<std::vector<std::vector<int32_t>>, 3> Rows_;
  int Margin_;
  int Divisor_;
  std::span<const TDitherWeight> Weights_;
  int Cursor_ = 0;
};

// Base of the kernels five columns wide and three rows deep.
class T5by3Ditherer : public TErrorRowDitherer {
protected:
  T5by3Ditherer(int width, TColorLookup* lookup, int divisor, std::span<const TDitherWeight> weights)
      : TErrorRowDitherer(width, lookup, 3, 2, divisor, weights) {}
};

class TStuckiDitherer : public T5by3Ditherer {
public:
  TStuckiDitherer(int width, TColorLookup* lookup);
};

class TSierraDitherer : public T5by3Ditherer {
public:
  TSierraDitherer(int width, TColorLookup* lookup);
};

class TJaJuNiDitherer : public T5by3Ditherer {
public:
  TJaJuNiDitherer(int width, TColorLookup* lookup);
};

class TSteveArcheDitherer : public TErrorRowDitherer {
public:
  TSteveArcheDitherer(int width, TColorLookup* lookup);
};

class TBurkesDitherer : public TErrorRowDitherer {
public:
  TBurkesDitherer(int width, TColorLookup* lookup);
};

// The engine for a dither method, or null for an unknown method.
std::unique_ptr<TDitherEngine> CreateDitherEngine(TDitherMode method, int width, TColorLookup* lookup);

}  // namespace vidorant
