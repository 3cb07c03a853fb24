// The frame output adapter through its registered formats' operations, as a task calls them:
// which output names reach an adapter, what the record carries, and the order of the events.
#include "engine/runtime/FrameOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Isolated.h"
#include "LogCapture.h"
#include "TestLibraries.h"
#include "engine/runtime/FFPtr.h"
#include "platform/Event.h"
#include "platform/Exception.h"
#include "platform/Format.h"
#include "platform/Synchronize.h"
#include "platform/ThreadID.h"

namespace vidorant {
namespace {

struct TStreamShape {
  AVPixelFormat PixFmt;
  int Width;
  int Height;
};

// An output context as a task holds it for one of the adapter's formats: the name, the streams'
// parameters and the format's private data (freed with the context).
TFormatContextPtr MakeOutput(const std::string& name, const std::vector<TStreamShape>& streams = {
                                                           {AV_PIX_FMT_BGR24, 4, 2}}) {
  TFormatContextPtr context(ff::avformat_alloc_context());
  EXPECT_NE(context, nullptr);
  if (!context) return context;
  context->url = ff::av_strdup(name.c_str());
  for (const TStreamShape& shape : streams) {
    AVStream* stream = ff::avformat_new_stream(context.get(), nullptr);
    EXPECT_NE(stream, nullptr);
    if (!stream) return context;
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
    stream->codecpar->format = shape.PixFmt;
    stream->codecpar->width = shape.Width;
    stream->codecpar->height = shape.Height;
  }
  const TOutputFormat* rawrgb = FindOutputFormat("rawrgb");
  EXPECT_NE(rawrgb, nullptr);
  if (rawrgb) {
    EXPECT_TRUE(AttachOutputFormatData(context.get(), *rawrgb));
  }
  return context;
}

POutputFrameInfo RecordOf(const TFormatContextPtr& context) {
  return static_cast<POutputFrameInfo>(context->priv_data);
}

// An adapter whose handlers write down what reached them.
class TRecordingAdapter : public TFrameOutputAdapter {
public:
  TRecordingAdapter() {
    OnWriteHeader = [this](TObject* sender) { Record(sender, "header"); };
    OnWriteFrame = [this](TObject* sender, POutputFrameInfo info) {
      Record(sender, "frame " + std::to_string(info->FrameNumber));
      EXPECT_NE(info->Packet, nullptr);
      if (info->Packet && info->Packet->data)
        Pictures.emplace_back(info->Packet->data, info->Packet->data + info->Packet->size);
    };
    OnWriteClose = [this](TObject* sender) { Record(sender, "close"); };
  }
  std::vector<std::string> Events;
  std::vector<std::vector<uint8_t>> Pictures;

private:
  void Record(TObject* sender, const std::string& event) {
    EXPECT_EQ(sender, this) << event;
    Events.push_back(event);
  }
};

class FrameOutput : public ::testing::Test {
protected:
  void SetUp() override {
    if (!LoadTestLibraries()) GTEST_SKIP() << "libraries missing (reported as a failure)";
    RegisterFrameOutputFormats();
    RawRgb = FindOutputFormat("rawrgb");
    ASSERT_NE(RawRgb, nullptr);
  }
  const TOutputFormat* RawRgb = nullptr;
};

TEST_F(FrameOutput, EveryAdapterKeyFormDeliversToTheNamedAdapter) {
  TRecordingAdapter adapter, other;
  const std::string n = std::to_string(adapter.Reference());
  const std::string o = std::to_string(other.Reference());
  const std::string names[] = {
      "a=" + n,
      "adapter=" + n,
      "A=" + n,
      "AdApTeR=" + n,
      "x=1;a=" + n + ";y=2;plain",
      "size=10x10;adapter=" + n + ";",
      "a=" + o + ";A=" + n,  // the last adapter item counts
      "a=junk;a=" + n,
      AdapterOutputName(adapter),
  };
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    adapter.Events.clear();
    TFormatContextPtr output = MakeOutput(name);
    ASSERT_EQ(RawRgb->WriteHeader(output.get()), 0);
    AVPacket packet{};
    ASSERT_EQ(RawRgb->WritePacket(output.get(), &packet), 0);
    ASSERT_EQ(RawRgb->WriteTrailer(output.get()), 0);
    EXPECT_EQ(adapter.Events, (std::vector<std::string>{"header", "frame 1", "close"}));
    EXPECT_TRUE(other.Events.empty());
    POutputFrameInfo info = RecordOf(output);
    EXPECT_EQ(info->Adapter, &adapter);
    EXPECT_EQ(info->FormatContext, output.get());
    EXPECT_EQ(adapter.FrameInfo(), info);
  }
}

TEST_F(FrameOutput, NamesWithoutALiveAdapterFailTheHeaderWithInvalidArgument) {
  TRecordingAdapter adapter;
  const std::string n = std::to_string(adapter.Reference());
  int64_t destroyedReference = 0;
  {
    TFrameOutputAdapter destroyed;
    destroyedReference = destroyed.Reference();
  }
  const std::string names[] = {
      "",
      "x=1;y=2",
      "a=",
      "a",
      "a=12ab",
      "a= " + n,
      "a=" + n + " ",
      "a=0x10",
      "a=99999999999999999999999999",
      "aa=" + n,
      "b=" + n,
      " a=" + n,
      "a=" + n + ";a=junk",  // the last adapter item counts, even when an earlier one was good
      "a=" + n + ";adapter=",
      "a=" + std::to_string(adapter.Reference() + 1),
      "a=0",
      "a=" + std::to_string(destroyedReference),
  };
  // Every output stays alive to the end, so no two refusals come from the same context address
  // (the logger folds identical consecutive lines into one).
  std::vector<TFormatContextPtr> outputs;
  TLogCapture log;
  for (const std::string& name : names) {
    SCOPED_TRACE("name \"" + name + "\"");
    log.Lines.clear();
    outputs.push_back(MakeOutput(name));
    EXPECT_EQ(RawRgb->WriteHeader(outputs.back().get()), -22);
    ASSERT_EQ(log.Lines.size(), 1u);
    EXPECT_EQ(log.Lines[0].first, llError);
    const std::string& line = log.Lines[0].second;
    const std::string expected = "Invalid FrameOutputAdapter";
    EXPECT_EQ(line.substr(line.size() - std::min(line.size(), expected.size())), expected) << line;
    EXPECT_NE(line.find(Format("%p", static_cast<void*>(outputs.back().get()))), std::string::npos)
        << "the context is the log context: " << line;
  }
  EXPECT_TRUE(adapter.Events.empty());
  EXPECT_EQ(adapter.FrameInfo(), nullptr);
}

TEST_F(FrameOutput, ZeroPicturesGiveHeaderAndCloseOnly) {
  TRecordingAdapter adapter;
  TFormatContextPtr output = MakeOutput(AdapterOutputName(adapter));
  ASSERT_EQ(RawRgb->WriteHeader(output.get()), 0);
  ASSERT_EQ(RawRgb->WriteTrailer(output.get()), 0);
  EXPECT_EQ(adapter.Events, (std::vector<std::string>{"header", "close"}));
  EXPECT_EQ(RecordOf(output)->FrameNumber, 0);
}

TEST_F(FrameOutput, UnassignedEventsAreSkipped) {
  TFrameOutputAdapter adapter;
  TFormatContextPtr output = MakeOutput(AdapterOutputName(adapter));
  AVPacket packet{};
  EXPECT_EQ(RawRgb->WriteHeader(output.get()), 0);
  EXPECT_EQ(RawRgb->WritePacket(output.get(), &packet), 0);
  EXPECT_EQ(RawRgb->WriteTrailer(output.get()), 0);
  EXPECT_EQ(RecordOf(output)->FrameNumber, 1);
}

TEST_F(FrameOutput, RecordTakesPixelFormatAndSizeFromTheFirstStreamAtHeaderTime) {
  TFrameOutputAdapter adapter;
  TFormatContextPtr first = MakeOutput(AdapterOutputName(adapter),
                                       {{AV_PIX_FMT_BGR24, 64, 48}, {AV_PIX_FMT_YUV420P, 320, 240}});
  POutputFrameInfo seenAtHeader = nullptr;
  TOutputFrameInfo copyAtHeader{};
  adapter.OnWriteHeader = [&](TObject*) {
    seenAtHeader = adapter.FrameInfo();
    copyAtHeader = *seenAtHeader;
  };
  ASSERT_EQ(RawRgb->WriteHeader(first.get()), 0);
  EXPECT_EQ(seenAtHeader, RecordOf(first)) << "the record is stored before OnWriteHeader runs";
  EXPECT_EQ(copyAtHeader.PixFmt, AV_PIX_FMT_BGR24);
  EXPECT_EQ(copyAtHeader.Width, 64);
  EXPECT_EQ(copyAtHeader.Height, 48);
  EXPECT_EQ(copyAtHeader.FrameNumber, 0);

  // Later changes to the stream do not reach a record already filled.
  first->streams[0]->codecpar->width = 10;
  EXPECT_EQ(RecordOf(first)->Width, 64);

  // The next output's header replaces the adapter's record.
  TFormatContextPtr second = MakeOutput(AdapterOutputName(adapter), {{AV_PIX_FMT_RGB24, 8, 6}});
  ASSERT_EQ(RawRgb->WriteHeader(second.get()), 0);
  EXPECT_EQ(adapter.FrameInfo(), RecordOf(second));
  EXPECT_EQ(RecordOf(second)->PixFmt, AV_PIX_FMT_RGB24);
  EXPECT_EQ(RecordOf(second)->Width, 8);
  EXPECT_EQ(RecordOf(second)->Height, 6);
}

TEST_F(FrameOutput, OutputWithoutStreamsOrRecordDoesNotCrash) {
  TFrameOutputAdapter adapter;
  TFormatContextPtr noStreams = MakeOutput(AdapterOutputName(adapter), {});
  ASSERT_EQ(RawRgb->WriteHeader(noStreams.get()), 0);
  EXPECT_EQ(RecordOf(noStreams)->PixFmt, AV_PIX_FMT_NONE);
  EXPECT_EQ(RecordOf(noStreams)->Width, 0);

  // An output whose private data was never attached has nowhere to keep the record.
  TFormatContextPtr noRecord(ff::avformat_alloc_context());
  ASSERT_NE(noRecord, nullptr);
  noRecord->url = ff::av_strdup(AdapterOutputName(adapter).c_str());
  TLogCapture log;
  EXPECT_EQ(RawRgb->WriteHeader(noRecord.get()), -22);
  AVPacket packet{};
  EXPECT_EQ(RawRgb->WritePacket(noRecord.get(), &packet), -22);
  EXPECT_EQ(RawRgb->WriteTrailer(noRecord.get()), -22);
  EXPECT_FALSE(log.Lines.empty());
}

// Encodes pictures of known colours with the uncompressed encoder, as the video path does, and
// hands the packets to the format: the frames arrive numbered in packet order with their bytes.
TEST_F(FrameOutput, FrameNumberCountsPacketsInOrderWithTheirPictures) {
  constexpr int kWidth = 5, kHeight = 3;
  const AVCodec* rawvideo = ff::avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO);
  ASSERT_NE(rawvideo, nullptr);
  TCodecContextPtr encoder(ff::avcodec_alloc_context3(rawvideo));
  ASSERT_NE(encoder, nullptr);
  encoder->width = kWidth;
  encoder->height = kHeight;
  encoder->pix_fmt = AV_PIX_FMT_BGR24;
  encoder->time_base = AVRational{1, 10};
  ASSERT_EQ(ff::avcodec_open2(encoder.get(), rawvideo, nullptr), 0);

  TRecordingAdapter adapter;
  TFormatContextPtr output = MakeOutput(AdapterOutputName(adapter), {{AV_PIX_FMT_BGR24, kWidth, kHeight}});
  ASSERT_EQ(RawRgb->WriteHeader(output.get()), 0);

  const uint8_t shades[] = {10, 120, 250};
  TPacketPtr packet(ff::av_packet_alloc());
  ASSERT_NE(packet, nullptr);
  for (uint8_t shade : shades) {
    TFramePtr frame(ff::av_frame_alloc());
    frame->format = AV_PIX_FMT_BGR24;
    frame->width = kWidth;
    frame->height = kHeight;
    ASSERT_EQ(ff::av_frame_get_buffer(frame.get(), 0), 0);
    // Blue is the shade, green the row, red the column: every byte tells where it belongs.
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        uint8_t* pixel = frame->data[0] + y * frame->linesize[0] + x * 3;
        pixel[0] = shade;
        pixel[1] = static_cast<uint8_t>(y);
        pixel[2] = static_cast<uint8_t>(x);
      }
    ASSERT_EQ(ff::avcodec_send_frame(encoder.get(), frame.get()), 0);
    while (ff::avcodec_receive_packet(encoder.get(), packet.get()) == 0) {
      EXPECT_EQ(RawRgb->WritePacket(output.get(), packet.get()), 0);
      EXPECT_EQ(RecordOf(output)->Packet, nullptr) << "the packet is not kept past the call";
      ff::av_packet_unref(packet.get());
    }
  }
  ASSERT_EQ(RawRgb->WriteTrailer(output.get()), 0);

  EXPECT_EQ(adapter.Events, (std::vector<std::string>{"header", "frame 1", "frame 2", "frame 3", "close"}));
  ASSERT_EQ(adapter.Pictures.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const std::vector<uint8_t>& picture = adapter.Pictures[i];
    ASSERT_EQ(picture.size(), size_t{kWidth * kHeight * 3}) << "rows without padding";
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const uint8_t* pixel = picture.data() + (y * kWidth + x) * 3;
        ASSERT_EQ(pixel[0], shades[i]) << "frame " << i + 1;
        ASSERT_EQ(pixel[1], y);
        ASSERT_EQ(pixel[2], x);
      }
  }
}

TEST_F(FrameOutput, AdapterDestroyedAfterTheHeaderIsNotCalledAgain) {
  auto adapter = std::make_unique<TRecordingAdapter>();
  TFormatContextPtr output = MakeOutput(AdapterOutputName(*adapter));
  ASSERT_EQ(RawRgb->WriteHeader(output.get()), 0);
  adapter.reset();
  // The logger folds a line that repeats the last one, and an earlier test's refusal may have
  // come from a context at this very address: another live output's refusal goes first.
  TFormatContextPtr other = MakeOutput("");
  EXPECT_EQ(RawRgb->WriteHeader(other.get()), -22);
  TLogCapture log;
  AVPacket packet{};
  EXPECT_EQ(RawRgb->WritePacket(output.get(), &packet), -22);
  EXPECT_EQ(RawRgb->WriteTrailer(output.get()), -22);
  EXPECT_EQ(RecordOf(output)->FrameNumber, 0);
  EXPECT_FALSE(log.Lines.empty());
}

// The window that owns the adapter may destroy it while the worker is inside one of its handlers.
// The destruction waits for that call: the handler keeps its adapter and its own captured state
// to its end, and the destruction ends only after the handler has returned.
TEST_F(FrameOutput, DestructionWaitsForTheHandlerThatRuns) {
  enum class TOperation { Header, Packet, Trailer };
  for (const TOperation operation : {TOperation::Header, TOperation::Packet, TOperation::Trailer}) {
    SCOPED_TRACE(static_cast<int>(operation));
    auto adapter = std::make_unique<TFrameOutputAdapter>();
    TFormatContextPtr output = MakeOutput(AdapterOutputName(*adapter));
    if (operation != TOperation::Header) {
      ASSERT_EQ(RawRgb->WriteHeader(output.get()), 0);
    }

    TEvent handlerEntered, destructionStarted, destructionEnded;
    bool endedWhileHandlerRan = true;
    std::string seen;
    // Captured by value, so it lives in the handler's storage inside the adapter.
    const std::string label = "handler state";
    const auto handler = [&, label](TObject* sender) {
      handlerEntered.SetEvent();
      destructionStarted.WaitFor();
      // Room for a destruction that does not wait to finish; one that waits cannot end meanwhile.
      destructionEnded.WaitFor(200);
      endedWhileHandlerRan = destructionEnded.IsSet();
      seen = label + (static_cast<TFrameOutputAdapter*>(sender)->FrameInfo() ? " with record" : " without");
    };
    switch (operation) {
      case TOperation::Header: adapter->OnWriteHeader = handler; break;
      case TOperation::Packet:
        adapter->OnWriteFrame = [handler](TObject* sender, POutputFrameInfo) { handler(sender); };
        break;
      case TOperation::Trailer: adapter->OnWriteClose = handler; break;
    }

    std::thread destroyer([&] {
      handlerEntered.WaitFor();
      destructionStarted.SetEvent();
      adapter.reset();
      destructionEnded.SetEvent();
    });
    AVPacket packet{};
    int result = -1;
    try {
      switch (operation) {
        case TOperation::Header: result = RawRgb->WriteHeader(output.get()); break;
        case TOperation::Packet: result = RawRgb->WritePacket(output.get(), &packet); break;
        case TOperation::Trailer: result = RawRgb->WriteTrailer(output.get()); break;
      }
    } catch (const std::exception& e) {
      ADD_FAILURE() << "the operation raised: " << e.what();
    }
    destroyer.join();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(endedWhileHandlerRan);
    EXPECT_EQ(seen, "handler state with record");
    EXPECT_EQ(adapter, nullptr);
  }
}

// A window destroys its adapter on the main thread while the worker's handler waits for the main
// thread (a synchronised call): the destruction keeps serving such calls while it waits, so both
// finish, and the handler's call runs before the destruction ends.
TEST_F(FrameOutput, DestructionOnTheMainThreadServesTheHandlersSynchronisedCall) {
  ASSERT_TRUE(InMainThread());
  auto adapter = std::make_unique<TFrameOutputAdapter>();
  TFormatContextPtr output = MakeOutput(AdapterOutputName(*adapter));
  ASSERT_EQ(RawRgb->WriteHeader(output.get()), 0);
  TEvent handlerEntered, destructionStarted, workerDone;
  bool destructionEnded = false;
  bool ranDuringDestruction = false;
  adapter->OnWriteFrame = [&](TObject*, POutputFrameInfo) {
    handlerEntered.SetEvent();
    destructionStarted.WaitFor();
    Synchronize([&] { ranDuringDestruction = !destructionEnded; });
  };
  int result = -1;
  std::thread worker([&] {
    AVPacket packet{};
    result = RawRgb->WritePacket(output.get(), &packet);
    workerDone.SetEvent();
  });
  handlerEntered.WaitFor();
  destructionStarted.SetEvent();
  adapter.reset();
  destructionEnded = true;
  WaitServingSynchronize(workerDone);
  worker.join();
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(ranDuringDestruction);
}

TEST_F(FrameOutput, HandlerFailureReachesTheCallerAndLeavesNoPacketBehind) {
  TFrameOutputAdapter adapter;
  adapter.OnWriteFrame = [](TObject*, POutputFrameInfo) { throw std::runtime_error("disk full"); };
  TFormatContextPtr output = MakeOutput(AdapterOutputName(adapter));
  ASSERT_EQ(RawRgb->WriteHeader(output.get()), 0);
  AVPacket packet{};
  EXPECT_THROW(RawRgb->WritePacket(output.get(), &packet), std::runtime_error);
  EXPECT_EQ(RecordOf(output)->FrameNumber, 1);
  EXPECT_EQ(RecordOf(output)->Packet, nullptr);
}

TEST_F(FrameOutput, RegisteringTwiceAddsEachRawFormatOnceInOrder) {
  RegisterFrameOutputFormats();
  RegisterFrameOutputFormats();
  const struct {
    const char* Name;
    const char* LongName;
    const char* MimeType;
    const char* Extensions;
    AVCodecID VideoCodec;
  } expected[] = {
      {"rawh263", "raw H.263 video format", nullptr, "h263", AV_CODEC_ID_H263},
      {"rawh264", "raw H.264 video format", nullptr, "h264", AV_CODEC_ID_H264},
      {"rawmjpeg", "raw MJPEG video", "video/x-mjpeg", "mjpg,mjpeg", AV_CODEC_ID_MJPEG},
      {"rawyuv", "raw YUV video format", nullptr, "yuv", AV_CODEC_ID_RAWVIDEO},
      {"rawrgb", "raw RGB video format", nullptr, "rgb", AV_CODEC_ID_RAWVIDEO},
  };
  std::vector<const TOutputFormat*> found;
  for (const TOutputFormat* f = NextOutputFormat(nullptr); f; f = NextOutputFormat(f))
    for (const auto& e : expected)
      if (std::strcmp(f->Name, e.Name) == 0) found.push_back(f);
  ASSERT_EQ(found.size(), std::size(expected)) << "each raw format is registered exactly once";
  for (size_t i = 0; i < found.size(); ++i) {
    const TOutputFormat& f = *found[i];
    SCOPED_TRACE(expected[i].Name);
    EXPECT_STREQ(f.Name, expected[i].Name) << "registered in table order";
    EXPECT_STREQ(f.LongName, expected[i].LongName);
    if (expected[i].MimeType) {
      EXPECT_STREQ(f.MimeType, expected[i].MimeType);
    } else {
      EXPECT_EQ(f.MimeType, nullptr);
    }
    EXPECT_STREQ(f.Extensions, expected[i].Extensions);
    EXPECT_EQ(f.VideoCodec, expected[i].VideoCodec);
    EXPECT_EQ(f.AudioCodec, AV_CODEC_ID_NONE);
    EXPECT_EQ(f.Flags, AVFMT_NOFILE | AVFMT_NOTIMESTAMPS);
    EXPECT_EQ(f.PrivDataSize, static_cast<int>(sizeof(TOutputFrameInfo)));
    EXPECT_EQ(f.WriteHeader, &FrameOutputWriteHeader);
    EXPECT_EQ(f.WritePacket, &FrameOutputWritePacket);
    EXPECT_EQ(f.WriteTrailer, &FrameOutputWriteTrailer);
  }
}

TEST(FrameOutputRegistration, BeforeTheFormatLibraryIsBoundIsAnAssertion) {
  RunIsolated([] {
    // Earlier tests of this process may have loaded the libraries; this child starts without.
    FFLoader->UnloadLibs(AllLibraries);
    try {
      RegisterFrameOutputFormats();
      ADD_FAILURE() << "registered without the format library";
    } catch (const EAssertionFailed& e) {
      const std::string message = e.Message;
      EXPECT_NE(message.find("(FFUtils)"), std::string::npos) << message;
    }
  });
}

}  // namespace
}  // namespace vidorant
