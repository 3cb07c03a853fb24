// TGIFItem.
#include "gif/GIFItem.h"

#include "gif/GIFImage.h"
#include "platform/FileStream.h"

namespace vidorant {

void TGIFItem::Warning(TGIFSeverity severity, const std::string& message) {
  if (FImage) FImage->Warning(this, severity, message);
}

void TGIFItem::SaveToFile(const std::string& fileName) {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}

}  // namespace vidorant
