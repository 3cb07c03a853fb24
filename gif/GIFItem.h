// The base of every part of a GIF document: knows its document (not owned) so that it can pass
// warnings on, tells which file version it needs, and writes itself.
#pragma once

#include <string>

#include "gif/GIFTypes.h"
#include "platform/Stream.h"
#include "platform/TObject.h"

namespace vidorant {

class TGIFImage;

class TGIFItem : public TObject {
public:
  explicit TGIFItem(TGIFImage* image) : FImage(image) {}
  TGIFItem(const TGIFItem&) = delete;
  TGIFItem& operator=(const TGIFItem&) = delete;

  virtual TGIFVersion GetVersion() const { return gv87a; }
  // Passes a soft problem to the document's warning handler; ignored without one.
  virtual void Warning(TGIFSeverity severity, const std::string& message);
  virtual void SaveToStream(TStream& stream) = 0;
  // Reads the item from the stream's position (the GIF reader).
  virtual void LoadFromStream(TStream& stream) = 0;
  void SaveToFile(const std::string& fileName);
  void LoadFromFile(const std::string& fileName);

  TGIFImage* Image() const { return FImage; }

protected:
  TGIFImage* FImage;  // the owning document; may be null for a free-standing item
};

}  // namespace vidorant
