// Generator of natural-looking test pictures for the benchmarks.
#include "NaturalPicture.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <unordered_set>

namespace vidorant {

TBitmap NaturalPicture(int width, int height, unsigned seed, double grain) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, grain);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  struct Disc {
    double X, Y, Radius, Red, Green, Blue;
  };
  std::vector<Disc> discs;
  for (int i = 0; i < 6; ++i)
    discs.push_back({unit(rng) * width, unit(rng) * height, (0.08 + 0.2 * unit(rng)) * std::min(width, height),
                     255 * unit(rng), 255 * unit(rng), 255 * unit(rng)});

  TBitmap bitmap(width, height, pf24bit);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    const double v = double(y) / height;
    for (int x = 0; x < width; ++x) {
      const double u = double(x) / width;
      // Sky-like background: slow gradients with a gentle wave.
      double r = 60 + 30 * u + 6 * std::sin(6.0 * v);
      double g = 90 + 25 * v + 5 * std::sin(5.0 * u + 2.0 * v);
      double b = 170 - 20 * v + 6 * u;
      // Objects with hard edges and their own shading.
      for (const Disc& d : discs) {
        const double dx = x - d.X, dy = y - d.Y;
        if (dx * dx + dy * dy < d.Radius * d.Radius) {
          const double shade = 0.7 + 0.3 * (dy / d.Radius);
          r = d.Red * shade;
          g = d.Green * shade;
          b = d.Blue * shade;
        }
      }
      // Texture and sensor noise, mostly in brightness as in compressed video.
      const double texture = 1.5 * std::sin(0.9 * x) * std::cos(0.7 * y) + noise(rng);
      r += texture;
      g += texture;
      b += texture;
      row[3 * x] = static_cast<uint8_t>(std::clamp(b, 0.0, 255.0));
      row[3 * x + 1] = static_cast<uint8_t>(std::clamp(g, 0.0, 255.0));
      row[3 * x + 2] = static_cast<uint8_t>(std::clamp(r, 0.0, 255.0));
    }
  }
  return bitmap;
}

TBitmap FlatPicture(int width, int height, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto channel = [&] { return static_cast<uint8_t>(255 * unit(rng)); };
  struct Box {
    int Left, Top, Right, Bottom;
    uint8_t Red, Green, Blue;
  };
  std::vector<Box> boxes;
  for (int i = 0; i < 12; ++i) {
    const int left = static_cast<int>(unit(rng) * width), top = static_cast<int>(unit(rng) * height);
    boxes.push_back({left, top, left + 1 + static_cast<int>(unit(rng) * width / 3),
                     top + 1 + static_cast<int>(unit(rng) * height / 3), channel(), channel(), channel()});
  }
  TBitmap bitmap(width, height, pf24bit);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      // The background steps through 16 shades from left to right.
      uint8_t r = 40, g = static_cast<uint8_t>(60 + 8 * (16 * x / width)), b = 150;
      for (const Box& box : boxes)
        if (x >= box.Left && x < box.Right && y >= box.Top && y < box.Bottom) r = box.Red, g = box.Green, b = box.Blue;
      row[3 * x] = b;
      row[3 * x + 1] = g;
      row[3 * x + 2] = r;
    }
  }
  return bitmap;
}

int DistinctColors(const TBitmap& bitmap) {
  std::unordered_set<TColor> colors;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) colors.insert(bitmap.GetPixel(x, y));
  return static_cast<int>(colors.size());
}

}  // namespace vidorant
