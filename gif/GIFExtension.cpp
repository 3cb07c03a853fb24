// Graphic control, plain-text and comment blocks.
#include "gif/GIFExtension.h"

#include "gif/GIFBytes.h"
#include "gif/GIFSubImage.h"

namespace vidorant {

TGIFExtension::TGIFExtension(TGIFSubImage* subImage)
    : TGIFItem(subImage ? subImage->Image() : nullptr), FSubImage(subImage) {}

void TGIFExtension::SetSubImage(TGIFSubImage* subImage) {
  FSubImage = subImage;
  FImage = subImage ? subImage->Image() : nullptr;
}

void TGIFExtension::WriteIntroducer(TStream& stream) const {
  uint8_t bytes[2] = {ExtensionIntroducer, GetExtensionType()};
  stream.WriteBuffer(bytes, 2);
}

void TGIFGraphicControlExtension::SaveToStream(TStream& stream) {
  WriteIntroducer(stream);
  uint8_t bytes[6] = {4, FPacked, static_cast<uint8_t>(FDelay), static_cast<uint8_t>(FDelay >> 8),
                      FTransparentColorIndex, 0};
  stream.WriteBuffer(bytes, 6);
}

void TGIFGraphicControlExtension::SetTransparent(bool value) {
  FPacked = value ? (FPacked | 0x01) : (FPacked & ~0x01);
}

void TGIFGraphicControlExtension::SetUserInput(bool value) {
  FPacked = value ? (FPacked | 0x02) : (FPacked & ~0x02);
}

void TGIFGraphicControlExtension::SetDisposal(TDisposalMethod value) {
  FPacked = static_cast<uint8_t>((FPacked & ~0x1C) | ((value & 0x07) << 2));
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int index) {
  const TGIFColorMap* table = FSubImage ? FSubImage->ActiveColorMap() : nullptr;
  int count = table ? table->Count() : 0;
  if (count > 0 && (index < 0 || index >= count)) {
    Warning(gsWarning, "Invalid color index");
    index = 0;
  }
  FTransparentColorIndex = static_cast<uint8_t>(index);
}

void TGIFTextExtension::SaveToStream(TStream& stream) {
  WriteIntroducer(stream);
  stream.WriteByte(12);
  WriteWord(stream, Left);
  WriteWord(stream, Top);
  WriteWord(stream, GridWidth);
  WriteWord(stream, GridHeight);
  uint8_t cells[4] = {CellWidth, CellHeight, ForegroundColorIndex, BackgroundColorIndex};
  stream.WriteBuffer(cells, 4);
  WriteTextLines(stream, Lines);
}

void TGIFCommentExtension::SaveToStream(TStream& stream) {
  WriteIntroducer(stream);
  WriteTextLines(stream, Lines);
}

}  // namespace vidorant
