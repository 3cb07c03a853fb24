// libFuzzer target for the GIF reader: any byte string must load into a document or fail with
// a GIFException -- never crash, hang, leak or raise anything else -- and whatever was read
// must save without crashing. The reader's limits are set low, as image fuzzers do, so that the
// fuzzing time goes to parsing rather than to filling and saving huge frames.
#include <cstddef>
#include <cstdint>

#include "gif/GIFException.h"
#include "gif/GIFImage.h"
#include "platform/MemoryStream.h"

using namespace vidorant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream;
  if (size > 0) stream.WriteBuffer(data, static_cast<int64_t>(size));
  stream.SetPosition(0);
  TGIFImage image;
  image.ReadLimits.MaxFramePixels = int64_t{1} << 20;     // 1024 x 1024
  image.ReadLimits.MaxDocumentPixels = int64_t{1} << 22;
  int warnings = 0;
  image.OnWarning = [&warnings](TObject*, TGIFSeverity, const std::string&) { ++warnings; };
  try {
    image.LoadFromStream(stream);
  } catch (const GIFException&) {
  }
  try {
    TMemoryStream out;
    image.SaveToStream(out);
  } catch (const GIFException&) {
  }
  return 0;
}
