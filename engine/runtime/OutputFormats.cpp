// Registry of OutputFormats.h.
#include "engine/runtime/OutputFormats.h"

#include "engine/runtime/AVFormatStubs.h"
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
  Assert(ff::av_muxer_iterate != nullptr, "av_muxer_iterate is not bound", "FFUtils");
  Assert(ff::avformat_alloc_context != nullptr, "avformat_alloc_context is not bound", "FFUtils");
  return Registry().AddUnless(
      format, [format](const TOutputFormat* registered) { return registered->Name == format->Name; });
}

const TOutputFormat* NextOutputFormat(const TOutputFormat* previous) {
  return Registry().Next(previous);
}

const TOutputFormat* FindOutputFormat(const std::string& name) {
  return Registry().FindIf([&](const TOutputFormat* f) { return name == f->Name; });
}

}  // namespace vidorant
