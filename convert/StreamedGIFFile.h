// One GIF file of the converter, written frame by frame. Until it is complete it lives under a
// temporary name in its own folder (hidden, ending in ".part"), so that a reader never takes a
// half-written file for a GIF and an existing file of the GIF's name stays as it was; Commit
// writes the trailer and renames it to the GIF's name in one step.
// Ownership: owns the temporary file and its stream. Invariant: when the object is gone, either
// the GIF's name holds a complete file made by Commit, or nothing of this object is left on
// disk. Used by one thread at a time.
#pragma once

#include <memory>
#include <string>

#include "gif/GIFStreamWriter.h"
#include "platform/FileStream.h"

namespace vidorant {

class TStreamedGIFFile {
public:
  // Nothing is created before the first frame.
  explicit TStreamedGIFFile(std::string path);
  // An uncommitted file is removed.
  ~TStreamedGIFFile();
  TStreamedGIFFile(const TStreamedGIFFile&) = delete;
  TStreamedGIFFile& operator=(const TStreamedGIFFile&) = delete;

  // Creates the temporary file at the first frame ("Cannot create file" naming the GIF when the
  // folder cannot take it) and writes the frame. A write that fails leaves the file Broken.
  void Append(const TGIFEncodedFrame& frame);
  // Completes the file and gives it its name, replacing a file of that name. Without a frame it
  // fails as the save of an empty document does ("Unsupported GIF version") and creates
  // nothing. On any failure the temporary file is removed and the GIF's name is untouched.
  void Commit();
  // Removes the temporary file; the GIF's name is untouched.
  void Abandon();

  const std::string& Path() const { return FPath; }
  int FrameCount() const { return FWriter ? FWriter->FrameCount() : 0; }
  // A write failed: the bytes on disk are not a file the frames describe.
  bool Broken() const { return FBroken; }

private:
  void Create();

  std::string FPath;
  std::string FTempPath;  // empty until created
  std::unique_ptr<TFileStream> FStream;
  std::unique_ptr<TGIFStreamWriter> FWriter;  // refers to FStream
  bool FBroken = false;
};

}  // namespace vidorant
