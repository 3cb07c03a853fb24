#include "engine/core/PictureEvent.h"

#include <exception>

#include "engine/runtime/AVPicture.h"
#include "engine/runtime/AVUtilStubs.h"
#include "platform/Exception.h"

namespace vidorant {
namespace {

std::string MessageOf(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    return e.Message;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown exception";
  }
}

}  // namespace

bool RunPictureEvent(TVideoHookEvent& event, TObject* sender, TFormatConverter& converter, AVFrame& picture,
                     int32_t frameNumber, int64_t timestamp, const TPictureEventLog& log) {
  if (!event) return false;
  // Made writable before the converter looks at it: the converter may use a BGR picture's own rows
  // as its RGB picture and write the bitmap straight back into them, and the decoder may share
  // those rows with pictures it still refers to.
  if (ff::av_frame_make_writable(&picture) < 0) {
    log(llError, "Cannot make the picture writable for the VideoHook event");
    event = nullptr;
    return false;
  }
  const auto format = static_cast<AVPixelFormat>(picture.format);
  TAVPicture view = PictureOf(picture);
  if (!converter.ToRGB(&view, format, picture.width, picture.height, true)) {
    log(llError, converter.LastErrMsg());
    event = nullptr;
    return false;
  }
  bool update = true;
  bool detach = false;
  try {
    event(sender, converter.Bitmap(), frameNumber, timestamp, update, detach);
  } catch (...) {
    log(llError, "Error occurs VideoHook event: " + MessageOf(std::current_exception()));
    update = false;
  }
  bool written = false;
  if (update) {
    converter.CopyFromBitmap();
    written = converter.FromRGB(&view, format, picture.width, picture.height);
    if (!written) {
      log(llError, converter.LastErrMsg());
      detach = true;
    }
  }
  if (detach) event = nullptr;
  return written;
}

}  // namespace vidorant
