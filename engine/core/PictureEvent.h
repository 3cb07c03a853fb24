// The picture events of a task's video path (the input hook on decoded pictures, the output hook
// on pictures about to be encoded): the picture is handed to the application as a bitmap, which
// the handler may draw on and have written back into the picture, and the handler may detach
// itself. A handler that raises is logged and its drawing is not written back.
// Invariant: the picture is changed only when the handler left Update set and the bitmap could be
// converted back; an event that cannot be served (its picture cannot become a bitmap, or the
// bitmap cannot become the picture again) is detached for good.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/runtime/FFLog.h"
#include "engine/runtime/FormatConverter.h"
#include "platform/TObject.h"

struct AVFrame;

namespace vidorant {

// Sender, the picture as a bitmap, the frame number, the time (µs), and two flags the handler may
// change: Update (true on entry: write the bitmap back) and Detach (false on entry: no more calls).
using TVideoHookEvent = std::function<void(TObject* sender, TBitmap& bitmap, int32_t frameNumber, int64_t timestamp,
                                           bool& update, bool& detach)>;

using TPictureEventLog = std::function<void(TLogLevel level, const std::string& text)>;

// Runs the event, when assigned, on the picture through the converter. Returns true when the
// converter's bitmap now shows exactly what the picture holds (it was converted and written
// back), so a preview of the same picture need not convert it again. Clears the event when it
// must be detached.
bool RunPictureEvent(TVideoHookEvent& event, TObject* sender, TFormatConverter& converter, AVFrame& picture,
                     int32_t frameNumber, int64_t timestamp, const TPictureEventLog& log);

}  // namespace vidorant
