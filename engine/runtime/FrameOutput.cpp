// The frame output adapter, its live-adapter set and its five raw output formats (FrameOutput.h).
#include "engine/runtime/FrameOutput.h"

#include <charconv>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "platform/Event.h"
#include "platform/Format.h"
#include "platform/Synchronize.h"

namespace vidorant {

namespace {

// Output names carry a number that anyone can write; it becomes an adapter only when an adapter
// of that address is alive, so a stale or made-up name fails cleanly instead of calling through
// a dangling pointer. An operation enters the adapter for the whole of its call, and an adapter
// that retires waits until every call entered has left: a window may destroy its adapter while
// the worker is inside a handler.
class TLiveAdapters {
public:
  void Add(TFrameOutputAdapter* adapter) {
    std::lock_guard<std::mutex> lock(FLock);
    FAdapters.emplace(Key(adapter), TEntry{});
  }
  // Refuses new calls at once, then waits for the calls in flight (serving the main thread's
  // queued calls meanwhile, should a handler wait for the main thread). Every caller waits, so a
  // destructor that runs while another thread retires the adapter still waits for its calls.
  void Retire(TFrameOutputAdapter* adapter) {
    std::shared_ptr<TEvent> idle;
    {
      std::lock_guard<std::mutex> lock(FLock);
      const auto found = FAdapters.find(Key(adapter));
      if (found == FAdapters.end()) return;  // retired before
      found->second.Retiring = true;
      idle = found->second.Idle;
    }
    WaitServingSynchronize(*idle);
    std::lock_guard<std::mutex> lock(FLock);
    FAdapters.erase(Key(adapter));
  }
  // The adapter of that reference, entered, when one is alive and not retiring; nullptr
  // otherwise. Never dereferences.
  TFrameOutputAdapter* Enter(intptr_t reference) {
    std::lock_guard<std::mutex> lock(FLock);
    const auto found = FAdapters.find(reference);
    if (found == FAdapters.end() || found->second.Retiring) return nullptr;
    if (found->second.Calls++ == 0) found->second.Idle->ResetEvent();
    return reinterpret_cast<TFrameOutputAdapter*>(reference);
  }
  void Leave(TFrameOutputAdapter* adapter) {
    std::lock_guard<std::mutex> lock(FLock);
    TEntry& entry = FAdapters.at(Key(adapter));  // present: it cannot retire while entered
    if (--entry.Calls == 0) entry.Idle->SetEvent();
  }

private:
  struct TEntry {
    int Calls = 0;  // operations inside the adapter now
    bool Retiring = false;
    // Set while no call is inside; shared so that a retiring adapter waits on it unlocked.
    std::shared_ptr<TEvent> Idle = std::make_shared<TEvent>(true);
  };
  static intptr_t Key(const TFrameOutputAdapter* adapter) { return reinterpret_cast<intptr_t>(adapter); }
  std::mutex FLock;
  std::unordered_map<intptr_t, TEntry> FAdapters;
};

TLiveAdapters& LiveAdapters() {
  // Never destroyed: adapters that are static objects of their own may outlive this unit.
  static TLiveAdapters* adapters = new TLiveAdapters;
  return *adapters;
}

// One operation's stay inside an adapter: the adapter cannot finish retiring while it lasts.
class TAdapterCall {
public:
  explicit TAdapterCall(intptr_t reference) : FAdapter(LiveAdapters().Enter(reference)) {}
  ~TAdapterCall() {
    if (FAdapter) LiveAdapters().Leave(FAdapter);
  }
  TAdapterCall(const TAdapterCall&) = delete;
  TAdapterCall& operator=(const TAdapterCall&) = delete;
  // nullptr when the reference names no live adapter.
  TFrameOutputAdapter* Adapter() const { return FAdapter; }

private:
  TFrameOutputAdapter* const FAdapter;
};

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
  if (context) ff::av_log(context, AV_LOG_ERROR, "Invalid FrameOutputAdapter\n");
  return AVERROR(EINVAL);
}

// The record of an output, zero until its header fills it; nullptr without one.
POutputFrameInfo RecordOf(AVFormatContext* context) {
  return static_cast<POutputFrameInfo>(context ? context->priv_data : nullptr);
}

// The adapter that the output's header named, as a reference to enter.
intptr_t ServedReference(AVFormatContext* context) {
  const POutputFrameInfo info = RecordOf(context);
  return reinterpret_cast<intptr_t>(info ? info->Adapter : nullptr);
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
  Retire();
  OnWriteHeader = nullptr;
  OnWriteFrame = nullptr;
  OnWriteClose = nullptr;
}

void TFrameOutputAdapter::Retire() { LiveAdapters().Retire(this); }

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
  const TAdapterCall call(reference ? static_cast<intptr_t>(*reference) : 0);
  TFrameOutputAdapter* adapter = call.Adapter();
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
  const TAdapterCall call(ServedReference(context));
  TFrameOutputAdapter* adapter = call.Adapter();
  if (!adapter) return RefuseAdapter(context);
  POutputFrameInfo info = RecordOf(context);
  ++info->FrameNumber;
  info->Packet = packet;
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
  const TAdapterCall call(ServedReference(context));
  TFrameOutputAdapter* adapter = call.Adapter();
  if (!adapter) return RefuseAdapter(context);
  if (adapter->OnWriteClose) adapter->OnWriteClose(adapter);
  return 0;
}

}  // namespace vidorant
