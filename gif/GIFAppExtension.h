// Application extension blocks: the looping block ("NETSCAPE2.0", also "ANIMEXTS1.0") and any
// block not recognised, which keeps its data sub-blocks as they were.
// Invariant: the identifier is exactly 11 bytes (8 name, 3 authentication code).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gif/GIFExtension.h"

namespace vidorant {

using TGIFAppIdentifier = std::array<char, 11>;

TGIFAppIdentifier MakeAppIdentifier(const char* elevenChars);

class TGIFApplicationExtension;
using TGIFAppExtensionFactory = std::unique_ptr<TGIFApplicationExtension> (*)(TGIFSubImage* subImage);

class TGIFApplicationExtension : public TGIFExtension {
public:
  using TGIFExtension::TGIFExtension;

  uint8_t GetExtensionType() const override { return LabelApplication; }
  void SaveToStream(TStream& stream) override;
  // Block size, identifier, then the block's own data.
  void LoadFromStream(TStream& stream) override;

  // The class registered for an identifier; unknown identifiers give TGIFUnknownAppExtension.
  static TGIFAppExtensionFactory FindExtension(const TGIFAppIdentifier& identifier);
  // Reads the block's size and identifier from its introducer on; false unless the block has
  // an 11-byte identifier.
  static bool ReadIdentifier(TStream& block, TGIFAppIdentifier& identifier);
  // The application block's refinement by identifier: the class registered for it in
  // TAppExtensionList, or null (the registered unknown block) for any other block. A class
  // registered for the label in its place may call this for the blocks it does not take.
  static std::unique_ptr<TGIFExtension> Refine(TGIFSubImage* subImage, TStream& block);

  TGIFAppIdentifier Identifier{};

protected:
  // The block's own data sub-blocks and the 0x00 that ends them.
  virtual void SaveData(TStream& stream) = 0;
  virtual void LoadData(TStream& stream) = 0;
};

// One data sub-block of an unknown application block: 0 to 255 bytes.
class TGIFBlock : public TObject {
public:
  explicit TGIFBlock(std::vector<uint8_t> data);
  const std::vector<uint8_t>& Data() const { return FData; }
  void SaveToStream(TStream& stream) const;

private:
  std::vector<uint8_t> FData;
};

class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
  using TGIFApplicationExtension::TGIFApplicationExtension;
  std::vector<std::unique_ptr<TGIFBlock>> Blocks;

protected:
  void SaveData(TStream& stream) override;
  void LoadData(TStream& stream) override;
};

class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
  explicit TGIFAppExtNSLoop(TGIFSubImage* subImage);

  uint16_t Loops = 0;        // 0 = endless
  uint32_t BufferSize = 0;   // written only when not 0

protected:
  void SaveData(TStream& stream) override;
  void LoadData(TStream& stream) override;
};

}  // namespace vidorant
