// The extension blocks that precede a frame's image: graphic control, plain text and comment
// (the application blocks are in GIFAppExtension.h). Every extension needs GIF89a.
// Ownership: an extension belongs to its frame's extension list; it refers back to the frame
// (not owned), and to none once taken out of the list. The frame keeps no reference to its
// graphic control extension: it looks it up in its list, so removing one leaves nothing stale.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gif/GIFItem.h"

namespace vidorant {

class TGIFSubImage;

constexpr uint8_t ExtensionIntroducer = 0x21;
constexpr uint8_t LabelGraphicControl = 0xF9;
constexpr uint8_t LabelPlainText = 0x01;
constexpr uint8_t LabelComment = 0xFE;
constexpr uint8_t LabelApplication = 0xFF;

class TGIFExtension : public TGIFItem {
public:
  explicit TGIFExtension(TGIFSubImage* subImage);

  TGIFVersion GetVersion() const override { return gv89a; }
  virtual uint8_t GetExtensionType() const = 0;

  TGIFSubImage* SubImage() const { return FSubImage; }
  // Called by the extension list that takes the extension in.
  void SetSubImage(TGIFSubImage* subImage);

protected:
  // Introducer and label, the start of every extension block.
  void WriteIntroducer(TStream& stream) const;
  // Reads them back, raising when they are not this class's.
  void ReadIntroducer(TStream& stream) const;

  TGIFSubImage* FSubImage;  // the frame this extension belongs to; not owned
};

enum TDisposalMethod : uint8_t { dmNone = 0, dmKeep = 1, dmBackground = 2, dmPrevious = 3 };

class TGIFGraphicControlExtension : public TGIFExtension {
public:
  using TGIFExtension::TGIFExtension;

  uint8_t GetExtensionType() const override { return LabelGraphicControl; }
  void SaveToStream(TStream& stream) override;
  void LoadFromStream(TStream& stream) override;

  bool Transparent() const { return (FPacked & 0x01) != 0; }
  void SetTransparent(bool value);
  bool UserInput() const { return (FPacked & 0x02) != 0; }
  void SetUserInput(bool value);
  TDisposalMethod Disposal() const { return static_cast<TDisposalMethod>((FPacked >> 2) & 0x07); }
  void SetDisposal(TDisposalMethod value);
  // Delay before the next frame, in hundredths of a second.
  uint16_t Delay() const { return FDelay; }
  void SetDelay(uint16_t value) { FDelay = value; }
  uint8_t TransparentColorIndex() const { return FTransparentColorIndex; }
  // An index outside the frame's active colour table warns "Invalid color index" and stores 0
  // (unless that table is empty).
  void SetTransparentColorIndex(int index);
  uint8_t Packed() const { return FPacked; }

private:
  uint8_t FPacked = 0;  // bit 0 transparent, bit 1 user input, bits 2-4 disposal
  uint16_t FDelay = 0;
  uint8_t FTransparentColorIndex = 0;
};

// Comment and plain-text blocks carry text as lines; each line is written as sub-blocks.
class TGIFTextLinesExtension : public TGIFExtension {
public:
  using TGIFExtension::TGIFExtension;
  std::vector<std::string> Lines;
};

class TGIFTextExtension : public TGIFTextLinesExtension {
public:
  using TGIFTextLinesExtension::TGIFTextLinesExtension;
  uint8_t GetExtensionType() const override { return LabelPlainText; }
  void SaveToStream(TStream& stream) override;
  void LoadFromStream(TStream& stream) override;

  // The text grid, in pixels of the logical screen, and the character cell.
  uint16_t Left = 0;
  uint16_t Top = 0;
  uint16_t GridWidth = 0;
  uint16_t GridHeight = 0;
  uint8_t CellWidth = 0;
  uint8_t CellHeight = 0;
  uint8_t ForegroundColorIndex = 0;
  uint8_t BackgroundColorIndex = 0;
};

class TGIFCommentExtension : public TGIFTextLinesExtension {
public:
  using TGIFTextLinesExtension::TGIFTextLinesExtension;
  uint8_t GetExtensionType() const override { return LabelComment; }
  void SaveToStream(TStream& stream) override;
  void LoadFromStream(TStream& stream) override;
};

}  // namespace vidorant
