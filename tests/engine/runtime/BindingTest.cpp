// Binding modules against the machine's FFmpeg 5.1, without the loader.
#include <string>

#include <gtest/gtest.h>

#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVDeviceStubs.h"
#include "engine/runtime/AVFilterStubs.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFPtr.h"
#include "engine/runtime/MyUtilStubs.h"
#include "engine/runtime/SwResampleStubs.h"
#include "engine/runtime/SwScaleStubs.h"
#include "platform/Exception.h"

namespace vidorant {
namespace {

struct TModuleCase {
  const TBindingModule* Module;
  const char* SoName;
};

const TModuleCase kModules[] = {
    {&AVUtilStubs, "libavutil.so.57"},       {&SwResampleStubs, "libswresample.so.4"},
    {&AVCodecStubs, "libavcodec.so.59"},     {&AVFormatStubs, "libavformat.so.59"},
    {&SwScaleStubs, "libswscale.so.6"},      {&AVFilterStubs, "libavfilter.so.8"},
    {&AVDeviceStubs, "libavdevice.so.59"},   {&MyUtilStubs, "libc.so.6"},
};

TEST(BindingModules, UnboundEntryPointRaisesAssertionNamingFFLoad) {
  try {
    ff::avcodec_alloc_context3(nullptr);
    FAIL() << "an unbound entry point returned";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message, "Entry point avcodec_alloc_context3 called before its library was loaded (FFLoad)");
  }
  // Variadic ones too.
  EXPECT_THROW(ff::av_log(nullptr, AV_LOG_ERROR, "%s", "x"), EAssertionFailed);
  EXPECT_FALSE(VIDORANT_FF_BOUND(av_log));
}

TEST(BindingModules, EveryNameBindsAgainstTheSystemLibrariesAndUnbindRestoresPlaceholders) {
  TLibHandle handles[std::size(kModules)];
  for (size_t i = 0; i < std::size(kModules); i++) {
    handles[i] = LoadDynamicLibrary(kModules[i].SoName);
    ASSERT_NE(handles[i], nullptr) << LastDynamicLibraryError();
    ASSERT_NO_THROW(BindModule(*kModules[i].Module, kModules[i].SoName, handles[i])) << kModules[i].SoName;
    const long long version = ModuleVersion(*kModules[i].Module);
    if (kModules[i].Module->ExpectedMajor < 0) {
      EXPECT_EQ(version, -1);
    } else {
      EXPECT_EQ(version >> 16, kModules[i].Module->ExpectedMajor) << kModules[i].SoName;
    }
  }
  EXPECT_TRUE(VIDORANT_FF_BOUND(av_log));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  EXPECT_TRUE(VIDORANT_FF_BOUND(av_get_channel_layout_nb_channels));
#pragma GCC diagnostic pop
  EXPECT_EQ(ff::strtol("123", nullptr, 10), 123);

  // Real work through the bound pointers, freed by the wrappers (the leak checker watches).
  {
    TFramePtr frame(ff::av_frame_alloc());
    ASSERT_TRUE(frame);
    frame->format = AV_PIX_FMT_BGR24;
    frame->width = 16;
    frame->height = 8;
    ASSERT_EQ(ff::av_frame_get_buffer(frame.get(), 0), 0);
    TPacketPtr packet(ff::av_packet_alloc());
    ASSERT_EQ(ff::av_new_packet(packet.get(), 100), 0);
    TCodecContextPtr context(ff::avcodec_alloc_context3(ff::avcodec_find_encoder_by_name("rawvideo")));
    ASSERT_TRUE(context);
    TDictionary options;
    ASSERT_GE(ff::av_dict_set(options.Address(), "pix_fmt", "bgr24", 0), 0);
    EXPECT_STREQ(ff::av_dict_get(options.Get(), "pix_fmt", nullptr, 0)->value, "bgr24");
    TAVMemoryPtr<char> text(ff::av_strdup("owned by avutil"));
    EXPECT_STREQ(text.get(), "owned by avutil");
    TFilterGraphPtr graph(ff::avfilter_graph_alloc());
    EXPECT_TRUE(graph);
    TAudioFifoPtr fifo(ff::av_audio_fifo_alloc(AV_SAMPLE_FMT_S16, 2, 64));
    EXPECT_TRUE(fifo);
    TSwsContextPtr sws(ff::sws_getContext(16, 8, AV_PIX_FMT_BGR24, 8, 4, AV_PIX_FMT_BGR24, SWS_BILINEAR,
                                          nullptr, nullptr, nullptr));
    EXPECT_TRUE(sws);
  }

  for (size_t i = 0; i < std::size(kModules); i++) {
    UnbindModule(*kModules[i].Module);
    FreeDynamicLibrary(handles[i]);
  }
  EXPECT_FALSE(VIDORANT_FF_BOUND(av_frame_alloc));
  EXPECT_THROW(ff::av_frame_alloc(), EAssertionFailed);
}

TEST(BindingModules, MissingRequiredNameNamesFunctionLibraryAndSystemText) {
  // libc lacks every FFmpeg name: the first required one fails with the formatted text.
  TLibHandle libc = LoadDynamicLibrary("libc.so.6");
  ASSERT_NE(libc, nullptr);
  try {
    BindModule(AVUtilStubs, "libc.so.6", libc);
    FAIL() << "binding avutil's names in libc succeeded";
  } catch (const Exception& e) {
    const std::string first = AVUtilStubs.Entries[0].Name;
    const std::string prefix = "Load function " + first + "@libc.so.6 error: ";
    EXPECT_EQ(e.Message.substr(0, prefix.size()), prefix) << e.Message;
    EXPECT_NE(e.Message.find("undefined symbol"), std::string::npos) << e.Message;
  }
  UnbindModule(AVUtilStubs);
  FreeDynamicLibrary(libc);
}

}  // namespace
}  // namespace vidorant
