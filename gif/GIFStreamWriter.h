// A GIF file written one frame at a time, so that a long animation never has to be held in
// memory: the header goes out with the first frame, each frame's bytes as they come, the trailer
// at the end. The bytes are those the document's save writes for the same frames, because each
// part is written by the same code (the header's, the frame's and the trailer's own save).
//
// The header describes every frame (the version, the logical screen that holds them all, the
// largest colour table depth), which the first frame alone cannot tell. Frames are encoded
// before they are appended (EncodeGIFFrame, on any thread), so each carries what the header
// needs of it; when later frames change the header, Finish writes it again over the first
// one, which has the same length because a streamed file has no global colour table.
// Invariant: after Finish the destination holds exactly header, frames in order, trailer.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/GIFHeader.h"
#include "gif/GIFSubImage.h"
#include "gif/GIFTypes.h"
#include "platform/Stream.h"

namespace vidorant {

// One frame as the file holds it, with what the header must know of it.
struct TGIFEncodedFrame {
  std::vector<uint8_t> Bytes;       // extensions, descriptor, local table, image data
  TGIFVersion Version = gv87a;
  int BitsPerPixel = 0;             // of the local colour table
  int Right = 0;                    // left + width: the screen width the frame needs
  int Bottom = 0;                   // top + height
};

// The frame's bytes exactly as its document's save writes them. Touches only the frame (and
// reads its document's encoder setting), so frames of separate documents encode in parallel.
// A frame with pixels but no colour table of its own would be coded with the depth of every
// frame of the file, which is not known yet: it raises GIFException.
TGIFEncodedFrame EncodeGIFFrame(TGIFSubImage& frame);

class TGIFStreamWriter {
public:
  // Writes from destination's position on. The destination must be able to seek back to that
  // position when a later frame changes the header; it is not owned.
  explicit TGIFStreamWriter(TStream& destination);
  TGIFStreamWriter(const TGIFStreamWriter&) = delete;
  TGIFStreamWriter& operator=(const TGIFStreamWriter&) = delete;

  // Writes the header first when this is the first frame, then the frame's bytes.
  void Append(const TGIFEncodedFrame& frame);
  // Writes the trailer (and the header again when later frames changed it). Without a frame
  // it raises "Unsupported GIF version", as the save of an empty document does, and writes
  // nothing.
  void Finish();
  int FrameCount() const { return FFrameCount; }

private:
  // The header for the frames appended so far.
  std::vector<uint8_t> HeaderBytes();

  TStream& FDestination;
  int64_t FStart;
  TGIFHeader FHeader{nullptr};
  TGIFVersion FVersion = gvUnknown;
  int FLargestBits = 0;
  int FFrameCount = 0;
  std::vector<uint8_t> FHeaderWritten;
};

}  // namespace vidorant
