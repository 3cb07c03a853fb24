// Little-endian field writing and the data sub-block framing shared by the extension blocks.
// Invariant: every sub-block carries 1 to 255 data bytes; an empty piece writes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Stream.h"

namespace vidorant {

inline void WriteWord(TStream& stream, uint16_t value) {
  uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
  stream.WriteBuffer(bytes, 2);
}

inline void WriteDWord(TStream& stream, uint32_t value) {
  uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                      static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  stream.WriteBuffer(bytes, 4);
}

// Writes size bytes as consecutive sub-blocks of at most 255 bytes (no terminator).
void WriteSubBlocks(TStream& stream, const uint8_t* data, size_t size);

// The text of comment and plain-text blocks: each line as sub-blocks, no line breaks, then
// one 0x00 after the last line.
void WriteTextLines(TStream& stream, const std::vector<std::string>& lines);

}  // namespace vidorant
