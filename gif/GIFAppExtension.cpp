// Application blocks: the looping block and unknown blocks kept as they were read.
#include "gif/GIFAppExtension.h"

#include <cstring>

#include "gif/GIFBytes.h"
#include "gif/GIFException.h"
#include "gif/GIFExtensionRegistry.h"

namespace vidorant {

TGIFAppIdentifier MakeAppIdentifier(const char* elevenChars) {
  TGIFAppIdentifier identifier{};
  std::memcpy(identifier.data(), elevenChars, identifier.size());
  return identifier;
}

void TGIFApplicationExtension::SaveToStream(TStream& stream) {
  WriteIntroducer(stream);
  stream.WriteByte(static_cast<uint8_t>(Identifier.size()));
  stream.WriteBuffer(Identifier.data(), static_cast<int64_t>(Identifier.size()));
  SaveData(stream);
}

TGIFAppExtensionFactory TGIFApplicationExtension::FindExtension(const TGIFAppIdentifier& identifier) {
  TGIFAppExtensionFactory factory = TAppExtensionList::Instance().Find(identifier);
  if (factory) return factory;
  return [](TGIFSubImage* subImage) -> std::unique_ptr<TGIFApplicationExtension> {
    return std::make_unique<TGIFUnknownAppExtension>(subImage);
  };
}

TGIFBlock::TGIFBlock(std::vector<uint8_t> data) : FData(std::move(data)) {
  // A length byte of 0 ends the data, so an empty block cannot be written as a block.
  if (FData.empty() || FData.size() > 255) throw GIFException("Invalid GIF block size");
}

void TGIFBlock::SaveToStream(TStream& stream) const {
  stream.WriteByte(static_cast<uint8_t>(FData.size()));
  stream.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TGIFUnknownAppExtension::SaveData(TStream& stream) {
  for (const auto& block : Blocks) block->SaveToStream(stream);
  stream.WriteByte(0);
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* subImage) : TGIFApplicationExtension(subImage) {
  Identifier = MakeAppIdentifier("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::SaveData(TStream& stream) {
  uint8_t loop[2] = {3, 1};
  stream.WriteBuffer(loop, 2);
  WriteWord(stream, Loops);
  if (BufferSize != 0) {
    uint8_t buffer[2] = {5, 2};
    stream.WriteBuffer(buffer, 2);
    WriteDWord(stream, BufferSize);
  }
  stream.WriteByte(0);
}

}  // namespace vidorant
