// Registry of OutputFormats.h.
#include "engine/runtime/OutputFormats.h"

#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/RecordRegistry.h"
#include "platform/Exception.h"

namespace vidorant {

namespace {

TRecordRegistry<TOutputFormat>& Registry() {
  static TRecordRegistry<TOutputFormat> formats;
  return formats;
}

}  // namespace

TOutputFormat* RegisterOutputFormat(TOutputFormat* format) {
  // The formats are only usable with the format library: registering before it is bound is a
  // programming error.
  Assert(VIDORANT_FF_BOUND(av_muxer_iterate), "av_muxer_iterate is not bound", "FFUtils");
  Assert(VIDORANT_FF_BOUND(avformat_alloc_context), "avformat_alloc_context is not bound", "FFUtils");
  return Registry().AddUnless(
      format, [format](const TOutputFormat* registered) { return registered->Name == format->Name; });
}

const TOutputFormat* NextOutputFormat(const TOutputFormat* previous) {
  return Registry().Next(previous);
}

const TOutputFormat* FindOutputFormat(const std::string& name) {
  return Registry().FindIf([&](const TOutputFormat* f) { return name == f->Name; });
}

bool AttachOutputFormatData(AVFormatContext* context, const TOutputFormat& format) {
  void* data = nullptr;
  if (format.PrivDataSize > 0) {
    data = ff::av_mallocz(static_cast<size_t>(format.PrivDataSize));
    if (!data) return false;
  }
  ff::av_freep(&context->priv_data);
  context->priv_data = data;
  return true;
}

}  // namespace vidorant
