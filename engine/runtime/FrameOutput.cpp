// The frame output adapter, its live-adapter set and its five raw output formats (FrameOutput.h).
#include "engine/runtime/FrameOutput.h"

#include <charconv>
#include <cstdint>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "platform/Format.h"

namespace vidorant {

namespace {

// Output names carry a number that anyone can write; it becomes an adapter only when an adapter
// of that address is alive, so a stale or made-up name fails cleanly instead of calling through
// a dangling pointer.
class TLiveAdapters {
public:
  void Add(TFrameOutputAdapter* adapter) {
    std::lock_guard<std::mutex> lock(FLock);
    FAdapters.insert(reinterpret_cast<intptr_t>(adapter));
  }
  void Remove(TFrameOutputAdapter* adapter) {
    std::lock_guard<std::mutex> lock(FLock);
    FAdapters.erase(reinterpret_cast<intptr_t>(adapter));
  }
  // The adapter of that reference when one is alive; nullptr otherwise. Never dereferences.
  TFrameOutputAdapter* Find(int64_t reference) {
    std::lock_guard<std::mutex> lock(FLock);
    const auto address = static_cast<intptr_t>(reference);
    return FAdapters.count(address) ? reinterpret_cast<TFrameOutputAdapter*>(address) : nullptr;
  }

private:
  std::mutex FLock;
  std::unordered_set<intptr_t> FAdapters;
};

TLiveAdapters& LiveAdapters() {
  // Never destroyed: adapters that are static objects of their own may outlive this unit.
  static TLiveAdapters* adapters = new TLiveAdapters;
  return *adapters;
}

bool IsAdapterKey(std::string_view key) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  auto equalsIgnoringCase = [&](std::string_view word) {
    if (key.size() != word.size()) return false;
    for (size_t i = 0; i < key.size(); ++i)
      if (lower(key[i]) != word[i]) return false;
    return true;
  };
  return equalsIgnoringCase("a") || equalsIgnoringCase("adapter");
}

// The reference of the last adapter item of "key=value;key=value..."; nothing when no item names
// an adapter or the last one is not a whole signed decimal number of 64 bits.
std::optional<int64_t> ParseAdapterReference(std::string_view name) {
  std::optional<std::string_view> value;
  while (!name.empty()) {
    const size_t end = name.find(';');
    const std::string_view item = name.substr(0, end);
    name = end == std::string_view::npos ? std::string_view() : name.substr(end + 1);
    const size_t equals = item.find('=');
    const std::string_view key = item.substr(0, equals);
    if (IsAdapterKey(key)) value = equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
  }
  if (!value || value->empty()) return std::nullopt;
  int64_t reference = 0;
  const char* first = value->data();
  const char* last = first + value->size();
  const auto [stop, error] = std::from_chars(first, last, reference);
  if (error != std::errc() || stop != last) return std::nullopt;
  return reference;
}

int RefuseAdapter(AVFormatContext* context) {
  ff::av_log(context, AV_LOG_ERROR, "Invalid FrameOutputAdapter\n");
  return AVERROR(EINVAL);
}

// The record of an output whose header succeeded and whose adapter still lives; nullptr (after
// logging the refusal) otherwise. The record stays zero until a header fills it.
POutputFrameInfo ServedRecord(AVFormatContext* context) {
  auto* info = static_cast<POutputFrameInfo>(context ? context->priv_data : nullptr);
  if (!info || !info->Adapter || !LiveAdapters().Find(reinterpret_cast<intptr_t>(info->Adapter))) {
    if (context) RefuseAdapter(context);
    return nullptr;
  }
  return info;
}

constexpr int kRawFormatFlags = AVFMT_NOFILE | AVFMT_NOTIMESTAMPS;

TOutputFormat MakeRawFormat(const char* name, const char* longName, const char* mimeType, const char* extensions,
                            AVCodecID videoCodec) {
  return TOutputFormat{name,
                       longName,
                       mimeType,
                       extensions,
                       AV_CODEC_ID_NONE,
                       videoCodec,
                       AV_CODEC_ID_NONE,
                       kRawFormatFlags,
                       static_cast<int>(sizeof(TOutputFrameInfo)),
                       FrameOutputWriteHeader,
                       FrameOutputWritePacket,
                       FrameOutputWriteTrailer};
}

// The registry keeps pointers to these records for the life of the process.
TOutputFormat gRawFormats[] = {
    MakeRawFormat("rawh263", "raw H.263 video format", nullptr, "h263", AV_CODEC_ID_H263),
    MakeRawFormat("rawh264", "raw H.264 video format", nullptr, "h264", AV_CODEC_ID_H264),
    MakeRawFormat("rawmjpeg", "raw MJPEG video", "video/x-mjpeg", "mjpg,mjpeg", AV_CODEC_ID_MJPEG),
    MakeRawFormat("rawyuv", "raw YUV video format", nullptr, "yuv", AV_CODEC_ID_RAWVIDEO),
    MakeRawFormat("rawrgb", "raw RGB video format", nullptr, "rgb", AV_CODEC_ID_RAWVIDEO),
};

}  // namespace

TFrameOutputAdapter::TFrameOutputAdapter() { LiveAdapters().Add(this); }

TFrameOutputAdapter::~TFrameOutputAdapter() {
  LiveAdapters().Remove(this);
  OnWriteHeader = nullptr;
  OnWriteFrame = nullptr;
  OnWriteClose = nullptr;
}

int64_t TFrameOutputAdapter::Reference() const { return reinterpret_cast<intptr_t>(this); }

std::string AdapterOutputName(const TFrameOutputAdapter& adapter) {
  return Format("a=%lld", static_cast<long long>(adapter.Reference()));
}

void RegisterFrameOutputFormats() {
  for (TOutputFormat& format : gRawFormats) RegisterOutputFormat(&format);
}

int FrameOutputWriteHeader(AVFormatContext* context) {
  if (!context) return AVERROR(EINVAL);
  const std::optional<int64_t> reference = ParseAdapterReference(context->url ? context->url : "");
  TFrameOutputAdapter* adapter = reference ? LiveAdapters().Find(*reference) : nullptr;
  // Without its record the output was not set up for this format: nothing to deliver into.
  if (!adapter || !context->priv_data) return RefuseAdapter(context);

  auto* info = new (context->priv_data) TOutputFrameInfo{};
  info->FormatContext = context;
  info->PixFmt = AV_PIX_FMT_NONE;
  if (context->nb_streams > 0 && context->streams[0]->codecpar) {
    const AVCodecParameters* first = context->streams[0]->codecpar;
    info->PixFmt = first->format;
    info->Width = first->width;
    info->Height = first->height;
  }
  info->Adapter = adapter;
  adapter->FFrameInfo = info;
  if (adapter->OnWriteHeader) adapter->OnWriteHeader(adapter);
  return 0;
}

int FrameOutputWritePacket(AVFormatContext* context, AVPacket* packet) {
  POutputFrameInfo info = ServedRecord(context);
  if (!info) return AVERROR(EINVAL);
  ++info->FrameNumber;
  info->Packet = packet;
  TFrameOutputAdapter* adapter = info->Adapter;
  if (adapter->OnWriteFrame) {
    try {
      adapter->OnWriteFrame(adapter, info);
    } catch (...) {
      info->Packet = nullptr;
      throw;
    }
  }
  // The packet belongs to the caller and is reused: no handler may reach it after this call.
  info->Packet = nullptr;
  return 0;
}

int FrameOutputWriteTrailer(AVFormatContext* context) {
  POutputFrameInfo info = ServedRecord(context);
  if (!info) return AVERROR(EINVAL);
  TFrameOutputAdapter* adapter = info->Adapter;
  if (adapter->OnWriteClose) adapter->OnWriteClose(adapter);
  return 0;
}

}  // namespace vidorant
