// The loader against the machine's FFmpeg 5.1 and against the fake libraries built beside this
// test (VIDORANT_FAKE_LIBS: good/ has all seven; lacking/ an avutil without av_malloc;
// optional/ an avutil without its optional name; newer/ an avcodec reporting the next major).
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/CodecLock.h"
#include "engine/runtime/FFLoad.h"
#include "engine/runtime/FFLog.h"
#include "engine/runtime/MyUtilStubs.h"
#include "Isolated.h"
#include "platform/Environment.h"
#include "platform/Exception.h"
#include "platform/Format.h"

namespace vidorant {
namespace {

const TLibrary kMediaLibraries[] = {libAVCodec, libSwResample, libAVDevice, libAVFilter,
                                    libAVFormat, libAVUtil,     libSwScale};

std::string FakeFile(const std::string& variant, const std::string& file) {
  return std::string(VIDORANT_FAKE_LIBS) + "/" + variant + "/" + file;
}

// A folder holding the good fake of every media library, with the named files replaced.
std::string FakeFolder(const std::vector<std::pair<std::string, std::string>>& replaced = {}) {
  const std::string folder = MakeTempFolder();
  for (TLibrary library : kMediaLibraries) {
    const std::string file = FFLoader->LibFileName(library);
    std::string variant = "good";
    for (const auto& [name, from] : replaced)
      if (name == file) variant = from;
    EXPECT_EQ(symlink(FakeFile(variant, file).c_str(), (folder + "/" + file).c_str()), 0) << file;
  }
  return folder;
}

int CountSearchEntries(const std::string& folder) {
  const std::string list = GetEnvironmentVariable(LibrarySearchVariable);
  int count = 0;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(LibrarySearchSeparator, start);
    if (end == std::string::npos) end = list.size();
    if (list.substr(start, end - start) == folder) count++;
    start = end + 1;
  }
  return count;
}

TEST(Loader, FileNamesFollowTheHeadersMajors) {
  EXPECT_EQ(FFLoader->LibFileName(libAVCodec), Format("libavcodec.so.%d", LIBAVCODEC_VERSION_MAJOR));
  EXPECT_EQ(FFLoader->LibFileName(libSwResample), "libswresample.so.4");
  EXPECT_EQ(FFLoader->LibFileName(libAVDevice), "libavdevice.so.59");
  EXPECT_EQ(FFLoader->LibFileName(libAVFilter), "libavfilter.so.8");
  EXPECT_EQ(FFLoader->LibFileName(libAVFormat), "libavformat.so.59");
  EXPECT_EQ(FFLoader->LibFileName(libAVUtil), "libavutil.so.57");
  EXPECT_EQ(FFLoader->LibFileName(libSwScale), "libswscale.so.6");
  EXPECT_EQ(FFLoader->LibFileName(libCRuntime), "libc.so.6");
  EXPECT_EQ(RequiredLibraries.Bits, 0xFB);
  EXPECT_FALSE(RequiredLibraries.Contains(libAVDevice));
  EXPECT_TRUE(FFLoader->AutoInstallLogger);
}

TEST(Loader, EmptyLibrarySetIsAnAssertionNamingFFLoad) {
  try {
    FFLoader->LoadLibs(TLibraries{});
    FAIL() << "an empty set was accepted";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message, "Library set is empty (FFLoad)");
  }
  EXPECT_THROW(FFLoader->LibsLoaded(TLibraries{}), EAssertionFailed);
  EXPECT_THROW(FFLoader->UnloadLibs(TLibraries{}), EAssertionFailed);
}

TEST(Loader, RequiredLibrariesLoadThroughTheStandardSearch) {
  RunIsolated([] {
    ASSERT_TRUE(FFLoader->LibraryPath().empty());
    ASSERT_TRUE(FFLoader->LoadLibs(RequiredLibraries)) << FFLoader->LastErrMsg();
    EXPECT_TRUE(FFLoader->LibsLoaded(RequiredLibraries));
    EXPECT_FALSE(FFLoader->LibLoaded(libAVDevice));
    for (int i = libAVCodec; i <= libCRuntime; i++) {
      const auto library = static_cast<TLibrary>(i);
      if (RequiredLibraries.Contains(library)) {
        EXPECT_EQ(FFLoader->LoadedFrom(library), FFLoader->LibFileName(library));
      }
    }
    EXPECT_EQ(ff::avcodec_version() >> 16, static_cast<unsigned>(LIBAVCODEC_VERSION_MAJOR));
    EXPECT_STREQ(ff::avcodec_get_name(AV_CODEC_ID_RAWVIDEO), "rawvideo");
    EXPECT_EQ(ff::strtol("77", nullptr, 10), 77);

    // Devices become known to avformat once avdevice is loaded.
    EXPECT_EQ(ff::av_find_input_format("v4l2"), nullptr);
    ASSERT_TRUE(FFLoader->LoadLib(libAVDevice)) << FFLoader->LastErrMsg();
    EXPECT_NE(ff::av_find_input_format("v4l2"), nullptr);

    FFLoader->UnloadLibs(AllLibraries);
    EXPECT_FALSE(FFLoader->LibsLoaded(RequiredLibraries));
    EXPECT_THROW(ff::avcodec_version(), EAssertionFailed);
    // A library can be loaded again after it was unloaded.
    ASSERT_TRUE(FFLoader->LoadLibs(RequiredLibraries)) << FFLoader->LastErrMsg();
  });
}

TEST(Loader, FolderHoldingOneLibraryLoadsItFromThereAndTheRestByBareName) {
  RunIsolated([] {
    const std::string folder = MakeTempFolder();
    const std::string swscale = FFLoader->LibFileName(libSwScale);
    ASSERT_EQ(symlink(("/usr/lib/x86_64-linux-gnu/" + swscale).c_str(), (folder + "/" + swscale).c_str()), 0);
    const std::string cwd = GetCurrentDir();
    FFLoader->SetLibraryPath(folder);
    ASSERT_TRUE(FFLoader->LoadLibs(RequiredLibraries)) << FFLoader->LastErrMsg();
    EXPECT_EQ(FFLoader->LoadedFrom(libSwScale), folder + "/" + swscale);
    for (TLibrary library : {libAVCodec, libSwResample, libAVFilter, libAVFormat, libAVUtil, libCRuntime})
      EXPECT_EQ(FFLoader->LoadedFrom(library), FFLoader->LibFileName(library));
    EXPECT_EQ(CountSearchEntries(folder), 1);
    EXPECT_EQ(GetCurrentDir(), cwd);
  });
}

TEST(Loader, FolderJoinsTheSearchVariableOnceAndTheCRuntimeComesByBareName) {
  RunIsolated([] {
    const std::string folder = FakeFolder();
    // Never taken from the folder, even when a file of its name is there.
    std::ofstream(folder + "/libc.so.6") << "not the C runtime";
    // An entry that merely contains the folder's name is another folder.
    SetEnvironmentVariable(LibrarySearchVariable, folder + "-other");
    FFLoader->SetLibraryPath(folder + "/");  // a trailing delimiter changes nothing
    ASSERT_TRUE(FFLoader->LoadLibs(AllLibraries)) << FFLoader->LastErrMsg();
    for (TLibrary library : kMediaLibraries)
      EXPECT_EQ(FFLoader->LoadedFrom(library), folder + "/" + FFLoader->LibFileName(library));
    EXPECT_EQ(FFLoader->LoadedFrom(libCRuntime), "libc.so.6");
    EXPECT_EQ(GetEnvironmentVariable(LibrarySearchVariable), folder + ":" + folder + "-other");

    FFLoader->UnloadLibs(AllLibraries);
    FFLoader->SetLibraryPath(folder);
    ASSERT_TRUE(FFLoader->LoadLibs(RequiredLibraries)) << FFLoader->LastErrMsg();
    EXPECT_EQ(CountSearchEntries(folder), 1);
  });
}

TEST(Loader, UnloadableFileGivesTheLoadLibraryText) {
  RunIsolated([] {
    const std::string folder = MakeTempFolder();
    const std::string file = folder + "/" + FFLoader->LibFileName(libAVCodec);
    std::ofstream(file) << "not a shared object";
    FFLoader->SetLibraryPath(folder);
    EXPECT_FALSE(FFLoader->LoadLib(libAVCodec));
    const std::string prefix = "Load library " + file + " error: ";
    EXPECT_EQ(FFLoader->LastErrMsg().substr(0, prefix.size()), prefix) << FFLoader->LastErrMsg();
    EXPECT_GT(FFLoader->LastErrMsg().size(), prefix.size());
    EXPECT_FALSE(FFLoader->LibLoaded(libAVCodec));
    // The last failure's text survives a later success.
    FFLoader->SetLibraryPath("");
    EXPECT_TRUE(FFLoader->LoadLib(libCRuntime));
    EXPECT_EQ(FFLoader->LastErrMsg().substr(0, prefix.size()), prefix);
  });
}

TEST(Loader, MissingRequiredFunctionInTheFifthLibraryLeavesNoMemberLoaded) {
  RunIsolated([] {
    // In load order the required set is avcodec, swresample, avfilter, avformat, avutil, ...
    FFLoader->SetLibraryPath(FakeFolder({{"libavutil.so.57", "lacking"}}));
    EXPECT_FALSE(FFLoader->LoadLibs(RequiredLibraries));
    const std::string prefix = "Load function av_malloc@libavutil.so.57 error: ";
    EXPECT_EQ(FFLoader->LastErrMsg().substr(0, prefix.size()), prefix) << FFLoader->LastErrMsg();
    EXPECT_NE(FFLoader->LastErrMsg().find("undefined symbol: av_malloc"), std::string::npos);
    for (int i = libAVCodec; i <= libCRuntime; i++) {
      EXPECT_FALSE(FFLoader->LibLoaded(static_cast<TLibrary>(i))) << i;
      EXPECT_TRUE(FFLoader->LoadedFrom(static_cast<TLibrary>(i)).empty()) << i;
    }
    // Names bound before the failing one (in avutil and in the libraries before it) are unbound.
    EXPECT_FALSE(VIDORANT_FF_BOUND(av_fast_malloc));
    EXPECT_FALSE(VIDORANT_FF_BOUND(avcodec_open2));
    EXPECT_THROW(ff::avcodec_open2(nullptr, nullptr, nullptr), EAssertionFailed);
  });
}

TEST(Loader, AbsentOptionalNameLeavesItsPointerEmpty) {
  RunIsolated([] {
    FFLoader->AutoInstallLogger = false;  // the fake avutil's log functions do nothing
    FFLoader->SetLibraryPath(FakeFolder({{"libavutil.so.57", "optional"}}));
    ASSERT_TRUE(FFLoader->LoadLib(libAVUtil)) << FFLoader->LastErrMsg();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    EXPECT_EQ(ff::av_get_channel_layout_nb_channels, nullptr);
#pragma GCC diagnostic pop
    EXPECT_TRUE(VIDORANT_FF_BOUND(av_malloc));
  });
}

TEST(Loader, MajorVersionMismatchIsRefused) {
  RunIsolated([] {
    const std::string folder = FakeFolder({{"libavcodec.so.59", "newer"}});
    FFLoader->SetLibraryPath(folder);
    EXPECT_FALSE(FFLoader->LoadLibs(RequiredLibraries));
    EXPECT_EQ(FFLoader->LastErrMsg(),
              Format("Load library %s/libavcodec.so.59 error: major version %d, expected %d", folder.c_str(),
                     LIBAVCODEC_VERSION_MAJOR + 1, LIBAVCODEC_VERSION_MAJOR));
    EXPECT_FALSE(FFLoader->LibLoaded(libAVCodec));
    EXPECT_FALSE(VIDORANT_FF_BOUND(avcodec_version));
  });
}

TEST(Loader, ProcessEndsCleanlyWithTheLibrariesLoadedAndLogging) {
  RunIsolated(
      [] {
        FFLogger()->SetLogLevel(llDebug);
        FFLogger()->OnLog = [](TObject*, uint32_t, TLogLevel, const std::string&) {};
        ASSERT_TRUE(FFLoader->LoadLibs(AllLibraries)) << FFLoader->LastErrMsg();
        TCodecLockGuard guard;
        ff::av_log(nullptr, AV_LOG_ERROR, "pending at exit, no line break");
      },
      TChildEnd::ceNormalExit);
}

const char* gDuplicated = "bound by the test";
char* SentinelStrdup(const char*) { return const_cast<char*>(gDuplicated); }

TEST(Loader, LoadingTwiceBindsOnceAndRepeatsThePostLoadHooks) {
  RunIsolated([] {
    TFFLogger logger;
    logger.TriggerEventInMainThread = false;
    logger.SetLogLevel(llDebug);
    std::vector<std::string> lines;
    logger.OnLog = [&](TObject*, uint32_t, TLogLevel, const std::string& message) { lines.push_back(message); };

    ASSERT_TRUE(FFLoader->LoadLibs(RequiredLibraries)) << FFLoader->LastErrMsg();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("create codec mutex [", 0), 0u) << lines[0];

    // Not bound again: a pointer changed after the first load keeps its value.
    ff::av_strdup = SentinelStrdup;
    // The hooks run again: a replaced log callback is put back, the codec mutex is remade.
    ff::av_log_set_callback(ff::av_log_default_callback);
    lines.clear();
    ASSERT_TRUE(FFLoader->LoadLibs(RequiredLibraries));
    EXPECT_EQ(ff::av_strdup, SentinelStrdup);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("destory codec mutex [", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("create codec mutex [", 0), 0u) << lines[1];
    lines.clear();
    ff::av_log(nullptr, AV_LOG_ERROR, "through the logger\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "through the logger");

    // The codec lock works once avcodec is loaded and is gone after unloading it.
    {
      TCodecLockGuard guard;
      EXPECT_TRUE(guard.Locked());
    }
    lines.clear();
    FFLoader->UnloadLib(libAVCodec);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("destory codec mutex [", 0), 0u);
    lines.clear();
    EXPECT_TRUE(ObtainCodecLock());
    EXPECT_TRUE(lines.empty());
  });
}

TEST(Loader, VariablesBindByAddressAndAMissingOneNamesItsKind) {
  static int* boundVariable = nullptr;
  static const TEntryPoint kEntries[] = {
      {"fake_exported_variable", TEntryKind::ekVariable,
       [](void* address) { boundVariable = static_cast<int*>(address); }, [] { boundVariable = nullptr; }, nullptr},
      {"fake_missing_variable", TEntryKind::ekVariable, [](void*) {}, [] {}, nullptr},
  };
  const std::string file = FakeFile("good", "libavutil.so.57");
  TLibHandle library = LoadDynamicLibrary(file);
  ASSERT_NE(library, nullptr) << LastDynamicLibraryError();
  try {
    BindModule(TBindingModule{"test", kEntries, 2, -1}, "libavutil.so.57", library);
    FAIL() << "a missing variable was accepted";
  } catch (const Exception& e) {
    const std::string prefix = "Load variable fake_missing_variable@libavutil.so.57 error: ";
    EXPECT_EQ(e.Message.substr(0, prefix.size()), prefix) << e.Message;
  }
  ASSERT_NE(boundVariable, nullptr);
  EXPECT_EQ(*boundVariable, 7);
  FreeDynamicLibrary(library);
}

}  // namespace
}  // namespace vidorant
