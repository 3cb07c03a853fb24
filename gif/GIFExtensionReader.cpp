// Reading extension blocks: the choice of a class through the two registries, and each
// extension's own LoadFromStream. Every block starts with the introducer and its label, which
// the class reads again to make sure it was chosen for the right block.
#include "gif/GIFAppExtension.h"
#include "gif/GIFException.h"
#include "gif/GIFExtensionRegistry.h"
#include "gif/GIFReadBytes.h"
#include "gif/GIFSubImage.h"

namespace vidorant {

namespace {

// Restores a stream's position when a look-ahead ends, however it ends.
class TPositionRestorer {
public:
  explicit TPositionRestorer(TStream& stream) : FStream(stream), FPosition(stream.GetPosition()) {}
  ~TPositionRestorer() { FStream.SetPosition(FPosition); }
  TPositionRestorer(const TPositionRestorer&) = delete;
  TPositionRestorer& operator=(const TPositionRestorer&) = delete;

private:
  TStream& FStream;
  int64_t FPosition;
};

// Creates the extension for the block at the stream's position, of the class registered last
// for its label, which may refine the choice from the block's bytes (the application block
// does, by identifier). The position is left where it was, so the extension reads the whole
// block itself.
std::unique_ptr<TGIFExtension> CreateExtension(TStream& stream, TGIFSubImage* subImage) {
  TPositionRestorer restore(stream);
  const int64_t start = stream.GetPosition();
  uint8_t head[2] = {};
  ReadExact(stream, head, 2);
  const TGIFExtensionClass found = TExtensionList::Instance().Find(head[1]);
  if (!found.Create) throw GIFException("Unknown extension type");
  if (found.Refine) {
    stream.SetPosition(start);
    if (std::unique_ptr<TGIFExtension> refined = found.Refine(subImage, stream)) return refined;
  }
  return found.Create(subImage);
}

// Text sub-blocks until the 0x00 length; each becomes one line. A file that ends inside the
// text keeps what was read.
std::vector<std::string> ReadTextLines(TStream& stream, TGIFItem& owner) {
  std::vector<std::string> lines;
  std::vector<uint8_t> block;
  for (;;) {
    TSubBlockResult result = ReadSubBlock(stream, block);
    if (!block.empty()) lines.emplace_back(block.begin(), block.end());
    if (result == sbData) continue;
    if (result != sbTerminator) owner.Warning(gsWarning, PrematureEndOfData);
    return lines;
  }
}

}  // namespace

void TGIFExtension::ReadIntroducer(TStream& stream) const {
  uint8_t head[2];
  ReadExact(stream, head, 2);
  if (head[0] != ExtensionIntroducer) throw GIFException("Invalid extension introducer");
  if (head[1] != GetExtensionType())
    throw GIFException("Internal error: Extension Instance does not match Extension Label");
}

void TGIFExtensionList::LoadFromStream(TStream& stream) {
  for (;;) {
    int next = PeekByte(stream);
    if (next < 0 || next == ImageSeparator || next == TrailerByte) return;
    if (next != ExtensionIntroducer) {
      FSubImage->Warning(gsWarning, "Invalid extension introducer");
      return;
    }
    std::unique_ptr<TGIFExtension> extension = CreateExtension(stream, FSubImage);
    extension->LoadFromStream(stream);
    Add(std::move(extension));
  }
}

void TGIFGraphicControlExtension::LoadFromStream(TStream& stream) {
  ReadIntroducer(stream);
  uint8_t bytes[6] = {};
  int64_t got = 0;
  while (got < 6) {
    int64_t n = stream.Read(bytes + got, 6 - got);
    if (n <= 0) break;
    got += n;
  }
  if (got < 6) Warning(gsWarning, PrematureEndOfData);
  FPacked = bytes[1];
  FDelay = static_cast<uint16_t>(bytes[2] | (bytes[3] << 8));
  FTransparentColorIndex = bytes[4];
}

void TGIFTextExtension::LoadFromStream(TStream& stream) {
  ReadIntroducer(stream);
  uint8_t bytes[13];
  ReadExact(stream, bytes, 13);
  auto word = [&bytes](int at) { return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8)); };
  Left = word(1);
  Top = word(3);
  GridWidth = word(5);
  GridHeight = word(7);
  CellWidth = bytes[9];
  CellHeight = bytes[10];
  ForegroundColorIndex = bytes[11];
  BackgroundColorIndex = bytes[12];
  Lines = ReadTextLines(stream, *this);
}

void TGIFCommentExtension::LoadFromStream(TStream& stream) {
  ReadIntroducer(stream);
  Lines = ReadTextLines(stream, *this);
}

bool TGIFApplicationExtension::ReadIdentifier(TStream& block, TGIFAppIdentifier& identifier) {
  uint8_t head[3] = {};
  return block.Read(head, 3) == 3 && head[2] == identifier.size() &&
         block.Read(identifier.data(), static_cast<int64_t>(identifier.size())) == static_cast<int64_t>(identifier.size());
}

std::unique_ptr<TGIFExtension> TGIFApplicationExtension::Refine(TGIFSubImage* subImage, TStream& block) {
  TGIFAppIdentifier identifier{};
  if (!ReadIdentifier(block, identifier)) return nullptr;
  TGIFAppExtensionFactory factory = TAppExtensionList::Instance().Find(identifier);
  return factory ? factory(subImage) : nullptr;
}

void TGIFApplicationExtension::LoadFromStream(TStream& stream) {
  ReadIntroducer(stream);
  uint8_t size = ReadGIFByte(stream);
  if (size < 10) throw GIFException("Unsupported Application Extension block size");
  ReadExact(stream, Identifier.data(), 11);
  if (size == 10) {
    // A 10-byte block: the eleventh byte read belongs to the data.
    stream.Seek(-1, soCurrent);
  } else if (size > 11) {
    std::vector<uint8_t> extra(size - 11u);
    ReadExact(stream, extra.data(), static_cast<int64_t>(extra.size()));
  }
  LoadData(stream);
}

void TGIFUnknownAppExtension::LoadData(TStream& stream) {
  Blocks.clear();
  std::vector<uint8_t> block;
  for (;;) {
    TSubBlockResult result = ReadSubBlock(stream, block);
    if (!block.empty()) Blocks.push_back(std::make_unique<TGIFBlock>(block));
    if (result == sbData) continue;
    if (result != sbTerminator) Warning(gsWarning, PrematureEndOfData);
    return;
  }
}

void TGIFAppExtNSLoop::LoadData(TStream& stream) {
  std::vector<uint8_t> block;
  for (;;) {
    TSubBlockResult result = ReadSubBlock(stream, block);
    if (result == sbTerminator) return;
    if (result != sbData) throw GIFException(PrematureEndOfData);
    switch (block[0] & 0x07) {
      case 1:
        if (block.size() < 3) throw GIFException("Invalid GIF data");
        Loops = static_cast<uint16_t>(block[1] | (block[2] << 8));
        break;
      case 2:
        if (block.size() < 5) throw GIFException("Invalid GIF data");
        BufferSize = static_cast<uint32_t>(block[1]) | (static_cast<uint32_t>(block[2]) << 8) |
                     (static_cast<uint32_t>(block[3]) << 16) | (static_cast<uint32_t>(block[4]) << 24);
        break;
      default:
        break;
    }
  }
}

}  // namespace vidorant
