// The GIF side of converting files one at a time: a frame output adapter whose three events
// build a GIF document from the task's 24-bit BGR pictures and save it when the task's output
// closes. A task delivers to it by the output name AdapterOutputName(Adapter()) with the
// format "rawrgb", the codec "rawvideo" and "pix_fmt" bgr24.
//
// Ownership: owns the adapter, the frame bitmap (24 bits per pixel, reused for every picture)
// and the document (ReductionMethod 8 set once; nothing else of it is set).
// Invariants: one task at a time delivers to it, so the bitmap and the document serve every
// file in turn; the adapter is retired before the bitmap and the document go, so no handler
// runs on them after. The handlers run on the task's worker thread; an exception they raise
// (a GIF library error, a file that cannot be written) passes to the task, which ends with its
// message.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "engine/runtime/FrameOutput.h"
#include "gif/GIFImage.h"
#include "platform/Bitmap.h"
#include "platform/TObject.h"

namespace vidorant {

class TGIFOutput {
public:
  TGIFOutput();
  // Waits for a handler that runs (see TFrameOutputAdapter::Retire).
  ~TGIFOutput();
  TGIFOutput(const TGIFOutput&) = delete;
  TGIFOutput& operator=(const TGIFOutput&) = delete;

  // The adapter a task names in its output name.
  TFrameOutputAdapter& Adapter() { return FOA; }

  // Where the next close saves: the folder (a separator appended when it lacks one) and the
  // file name. Set before the file's task starts; safe from any thread.
  void SetOutputFile(const std::string& folder, const std::string& fileName);
  std::string OutputPath() const;

  // The document of the file in progress, or of the file saved last.
  const TGIFImage& GifImage() const { return *FGifImage; }

  // The adapter's events.
  // Empties the document for the new file.
  void FOAWriteHeader(TObject* Sender);
  // Copies the picture into the frame bitmap row by row and adds it to the document as a new
  // frame. A packet that does not hold Width x Height BGR pixels raises instead of being read
  // past its end.
  void FOAWriteFrame(TObject* Sender, POutputFrameInfo AFrameInfo);
  // Saves the document to OutputPath(), replacing a file of that name. A file that yielded no
  // frame fails as the save of an empty document does ("Unsupported GIF version") and leaves
  // no file.
  void FOAWriteClose(TObject* Sender);

private:
  std::unique_ptr<TBitmap> FBmpFrame;
  std::unique_ptr<TGIFImage> FGifImage;
  mutable std::mutex FOutputLock;  // the output file is set on one thread and read on the worker
  std::string FOutputFolder;
  std::string FOutputName;
  TFrameOutputAdapter FOA;
};

}  // namespace vidorant
