// One frame of a GIF document: its extensions, image descriptor, local colour table and 8-bit
// pixel data (one colour index per byte, width x height bytes, rows top to bottom).
// Ownership: the frame owns its extension list, colour table and pixel data; the document's
// frame list owns the frame. Invariant: the pixel data is either empty or exactly
// width x height bytes, and the bounds always fit the 16-bit fields of a GIF file.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gif/GIFColorMap.h"
#include "gif/GIFExtension.h"
#include "gif/GIFItem.h"
#include "gif/GIFList.h"
#include "gif/GIFReadBytes.h"
#include "platform/Bitmap.h"
#include "platform/Geometry.h"
#include "platform/Graphic.h"

namespace vidorant {

class TGIFSubImage;
class TCanvas;
struct TGIFFrameCache;

class TGIFExtensionList : public TGIFList<TGIFExtension> {
public:
  explicit TGIFExtensionList(TGIFSubImage* subImage) : FSubImage(subImage) {}
  // Takes ownership and ties the extension to this list's frame.
  int Add(std::unique_ptr<TGIFExtension> extension);
  void SaveToStream(TStream& stream);
  // Reads extension blocks until an image, the trailer or a byte that starts no extension.
  void LoadFromStream(TStream& stream);

protected:
  // An extension taken out belongs to no frame until a list takes it in again.
  void Detached(TGIFExtension& extension) override;

private:
  TGIFSubImage* FSubImage;  // not owned
};

class TGIFSubImage : public TGIFItem {
public:
  static constexpr int MaxDimension = 65535;

  explicit TGIFSubImage(TGIFImage* image);
  ~TGIFSubImage() override;

  // 89a when the colour table is marked sorted or the frame has an extension.
  TGIFVersion GetVersion() const override;
  // The extensions, then (unless the frame is empty) descriptor, local table and image data.
  void SaveToStream(TStream& stream) override;
  // Extensions, then descriptor, local table and image data when an image follows. A frame
  // larger than the stream can hold raises instead of allocating.
  void LoadFromStream(TStream& stream) override;
  void LoadFromStream(TStream& stream, TGIFPixelBudget& budget);
  // Back to a new frame: no extensions, no colours, no pixels, zero bounds, not transparent.
  void Clear();

  // Makes this frame a copy of source: a bitmap (TBitmap), another frame, or any other
  // graphic (drawn into a 24-bit bitmap first); null clears the frame. Anything else raises
  // "Object type not supported for operation".
  void Assign(TObject* source);
  // Bounds, colour table and pixels from the bitmap: indexed bitmaps keep their table, others
  // go through the document's colour reduction. A transparent bitmap's transparent pixels get
  // a colour of their own and a graphic control extension. Progress "Converting...".
  void Assign(const TBitmap& bitmap);
  // Bounds, packed byte, table, pixels and transparency; extensions copied through a stream.
  void Assign(TGIFSubImage& frame);
  void Assign(TGraphic& graphic);

  TGIFExtensionList& Extensions() { return FExtensions; }
  const TGIFExtensionList& Extensions() const { return FExtensions; }
  TGIFLocalColorMap& ColorMap() { return FColorMap; }
  const TGIFLocalColorMap& ColorMap() const { return FColorMap; }
  // The local table, or the document's global one when the local one is empty (null when
  // neither exists).
  const TGIFColorMap* ActiveColorMap() const;

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  TRect BoundsRect() const { return Rect(FLeft, FTop, FLeft + FWidth, FTop + FHeight); }
  void SetLeft(int value) { SetBounds(value, FTop, FWidth, FHeight); }
  void SetTop(int value) { SetBounds(FLeft, value, FWidth, FHeight); }
  void SetWidth(int value) { SetBounds(FLeft, FTop, value, FHeight); }
  void SetHeight(int value) { SetBounds(FLeft, FTop, FWidth, value); }
  void SetBoundsRect(const TRect& rect) { SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height()); }
  // Stores all four; a new size replaces the pixel data with zeros. Grows the document's
  // logical screen to hold the frame, with warnings when a screen already set was too small.
  // Bounds that a GIF file cannot hold (outside 0..65535, or reaching past 65535) raise
  // GIFException and change nothing.
  void SetBounds(int left, int top, int width, int height);

  bool Interlaced() const { return (FPacked & 0x40) != 0; }
  void SetInterlaced(bool value) { FPacked = value ? (FPacked | 0x40) : (FPacked & ~0x40); }
  // The descriptor's packed byte as last prepared for writing.
  uint8_t Packed() const { return FPacked; }

  // No pixel data, or a width or height of 0.
  bool Empty() const { return FData.empty() || FWidth == 0 || FHeight == 0; }
  uint8_t* Data() { return FData.data(); }
  const uint8_t* Data() const { return FData.data(); }
  int64_t DataSize() const { return static_cast<int64_t>(FData.size()); }
  // Row y of the pixel data; raises "Scan line index out of range" outside the frame.
  uint8_t* ScanLine(int row);

  // The graphic control extension that governs the frame (owned by the extension list), or
  // null: the first one with the transparent flag, else the first one. Looked up in the list
  // each time, so a frame never refers to an extension it no longer holds.
  TGIFGraphicControlExtension* GraphicControlExtension() const;
  // Whether that extension makes the frame transparent.
  bool Transparent() const;

  // The frame as an 8-bit bitmap with its active colour table (the 16 system colours when it
  // has none); an index past the table shows black, as a table padded in a file does. Owned by
  // the frame and remade whenever the pixels or colours changed since.
  const TBitmap& Bitmap();
  // 1 bit per pixel, set where the pixel holds the transparent index; null when the frame is
  // not transparent. Owned by the frame.
  const TBitmap* Mask();
  // The colours of Bitmap() as a palette for display.
  const TPalette& Palette();
  // Draws the frame's pixels stretched into rect of the canvas, by nearest neighbour: a GIF's
  // colours are exact table entries, and blending would show colours no table holds. With
  // transparent, pixels of the transparent index leave the canvas as it was.
  void Draw(TCanvas& canvas, const TRect& rect, bool transparent);

private:
  // Checks and stores the bounds; a new size replaces the pixel data with zeros.
  void StoreBounds(int left, int top, int width, int height);
  // Grows the document's logical screen to hold the frame; with warn, a screen that was
  // already set and too small is reported.
  void GrowScreen(bool warn);
  void PreparePacked();
  // The 24-bit path of Assign: the table built from the pixels' colours.
  void ImportTrueColor(const TBitmap& bitmap);
  // Gives the pixels set in mask (1 bit, set = transparent) a new black entry and makes it the
  // transparent colour, when the table has room.
  void ApplyMask(const TBitmap& mask);

  TGIFExtensionList FExtensions;
  TGIFLocalColorMap FColorMap;
  int FLeft = 0;
  int FTop = 0;
  int FWidth = 0;
  int FHeight = 0;
  uint8_t FPacked = 0;  // bit 7 local table, 6 interlace, 5 sort, 3-4 reserved, 0-2 table size
  std::vector<uint8_t> FData;
  std::unique_ptr<TGIFFrameCache> FCache;  // built by the first drawing
};

}  // namespace vidorant
