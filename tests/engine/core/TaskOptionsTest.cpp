// The options of a task through ParseOption and the direct setters: every name reaches its
// effect or its message, refusals change nothing, and the defaults are those of a fresh task.
#include "engine/core/FFmpegException.h"
#include "engine/core/Presets.h"
#include "engine/runtime/FFTypes.h"
#include "platform/ProgramFolder.h"
#include "tests/engine/core/TestEngine.h"
#include "tests/engine/runtime/hooks/HookRecorder.h"
#include "tests/fixtures/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libavutil/samplefmt.h>
}

namespace vidorant::testing {
namespace {

class TaskOptions : public ::testing::Test {
protected:
  // Before the fixture's task exists: a task made without libraries keeps an empty state.
  static void SetUpTestSuite() { BindLibrariesForTests(); }

  // The message of the FFmpegException that applying the option raises, "" when none.
  std::string Refusal(const std::string& name, const std::string& value) {
    try {
      Task.ParseOption(name, value);
    } catch (const FFmpegException& e) {
      return e.Message;
    }
    return "";
  }

  TTestTask Task;
  const TOptionState& Opt = Task.Options();
};

TEST_F(TaskOptions, FreshTaskHasTheDocumentedDefaults) {
  EXPECT_EQ(Opt.FrameRateNum, 25);
  EXPECT_EQ(Opt.FrameRateDen, 0);
  EXPECT_EQ(Opt.FramePixFmt, -1);
  EXPECT_EQ(Opt.AudioSampleFmt, -1);
  EXPECT_EQ(Opt.MaxFrames[TStreamKind::Video], 2147483647);
  EXPECT_EQ(Opt.MaxFrames[TStreamKind::Subtitle], 2147483647);
  EXPECT_EQ(Opt.AudioSampleRate, 44100);
  EXPECT_EQ(Opt.AudioChannels, 2);
  EXPECT_FLOAT_EQ(Opt.AudioQScale, -99999.0f);
  EXPECT_FLOAT_EQ(Opt.MuxPreload, 0.5f);
  EXPECT_FLOAT_EQ(Opt.MuxMaxDelay, 0.7f);
  EXPECT_EQ(Opt.RecordingTime, INT64_MAX);
  EXPECT_EQ(Opt.IntraDcPrecision, 8);
  EXPECT_EQ(Opt.TopFieldFirst, -1);
  EXPECT_EQ(Opt.LoopOutput, -1);
  EXPECT_EQ(Opt.VideoSyncMethod, TVideoSyncMethod::Auto);
  EXPECT_FLOAT_EQ(Opt.AudioDriftThreshold, 0.1f);
  EXPECT_EQ(Opt.AudioVolume, 256);
  EXPECT_EQ(Opt.Verbose, 1);
  EXPECT_EQ(Opt.ThreadCount, 1);
  EXPECT_FLOAT_EQ(Opt.DtsDeltaThreshold, 10.0f);
  EXPECT_EQ(Opt.SwsFlags, TScalerFlags::Bicubic);
  EXPECT_TRUE(Opt.MetadataGlobalAutoCopy && Opt.MetadataStreamsAutoCopy && Opt.MetadataChaptersAutoCopy);
  EXPECT_FALSE(Opt.IntraMatrix);
  EXPECT_FALSE(Opt.CodecNames[TStreamKind::Video]);
  EXPECT_EQ(Task.ExpectedDuration(), -1);
  EXPECT_TRUE(Task.RaiseOptionErrors());
  EXPECT_EQ(Task.IOTimeout(), 10000);
}

// One row per option: the value given and how the state must read afterwards.
struct TEffect {
  const char* Name;
  const char* Value;
  std::function<bool(const TOptionState&)> Holds;
};

TEST_F(TaskOptions, EveryOptionNameReachesItsField) {
  const TEffect effects[] = {
      {"f", "avi", [](auto& o) { return o.FormatName == "avi"; }},
      {"map", "0:1", [](auto& o) { return o.StreamMaps.size() == 1 && o.StreamMaps[0].StreamIndex == 1; }},
      {"map_meta_data", "0,s:1:0", [](auto& o) { return o.MetaDataMaps.size() == 1 && !o.MetadataStreamsAutoCopy && !o.MetadataGlobalAutoCopy && o.MetadataChaptersAutoCopy; }},
      {"map_chapters", "1:0", [](auto& o) { return o.ChapterMaps.size() == 1 && o.ChapterMaps[0].OutFile == 1; }},
      {"t", "00:00:02.5", [](auto& o) { return o.RecordingTime == 2500000; }},
      {"fs", "1048576", [](auto& o) { return o.LimitFileSize == 1048576; }},
      {"ss", "1:02", [](auto& o) { return o.StartTime == 62000000; }},
      {"itsoffset", "-0.5", [](auto& o) { return o.InputTsOffset == -500000; }},
      {"itsscale", "1:2.5", [](auto& o) { return o.TsScales.size() == 1 && o.TsScales[0].size() == 2 && o.TsScales[0][1] == 2.5; }},
      {"timestamp", "2000-01-01T00:00:00Z", [](auto& o) { return o.RecordingTimestamp == 946684800; }},
      {"metadata", "title=A=B", [](auto& o) { return o.PendingMetadata.size() == 1 && o.PendingMetadata[0].first == "title" && o.PendingMetadata[0].second == "A=B"; }},
      {"dframes", "7", [](auto& o) { return o.MaxFrames[TStreamKind::Data] == 7; }},
      {"dump", "", [](auto& o) { return o.DoPktDump; }},
      {"hex", "1", [](auto& o) { return o.DoHexDump; }},
      {"re", "", [](auto& o) { return o.RateEmu; }},
      {"loop_input", "", [](auto& o) { return o.LoopInput; }},
      {"loop_output", "3", [](auto& o) { return o.LoopOutput == 3; }},
      {"v", "-1", [](auto& o) { return o.Verbose == -1; }},
      {"threads", "4", [](auto& o) { return o.ThreadCount == 4; }},
      {"vsync", "2", [](auto& o) { return o.VideoSyncMethod == TVideoSyncMethod::VariableRate; }},
      {"async", "1", [](auto& o) { return o.AudioSyncMethod == 1; }},
      {"adrift_threshold", "0.25", [](auto& o) { return o.AudioDriftThreshold == 0.25f; }},
      {"vglobal", "2", [](auto& o) { return o.VideoGlobalHeader == 2; }},
      {"copyts", "", [](auto& o) { return o.CopyTs; }},
      {"copytb", "", [](auto& o) { return o.CopyTb; }},
      {"shortest", "", [](auto& o) { return o.OptShortest; }},
      {"dts_delta_threshold", "3.5", [](auto& o) { return o.DtsDeltaThreshold == 3.5f; }},
      {"programid", "3", [](auto& o) { return o.ProgramId == 3; }},
      {"xerror", "", [](auto& o) { return o.ExitOnError; }},
      {"copyinkf", "1", [](auto& o) { return o.CopyInitialNonKeyFrames == 1; }},
      {"vframes", "50", [](auto& o) { return o.MaxFrames[TStreamKind::Video] == 50; }},
      {"r", "ntsc", [](auto& o) { return o.FrameRateNum == 30000 && o.FrameRateDen == 1001; }},
      {"s", "cif", [](auto& o) { return o.FrameWidth == 352 && o.FrameHeight == 288; }},
      {"aspect", "16:9", [](auto& o) { return o.FrameAspectRatio == 1.7777778f; }},
      {"pix_fmt", "bgr24", [](auto& o) { return o.FramePixFmt == AV_PIX_FMT_BGR24; }},
      {"intra", "", [](auto& o) { return o.IntraOnly; }},
      {"vn", "", [](auto& o) { return o.Disabled[TStreamKind::Video]; }},
      {"vdt", "16", [](auto& o) { return o.VideoDiscard == 16; }},
      {"qscale", "2.5", [](auto& o) { return o.VideoQScale == 2.5f; }},
      {"rc_override", "0,100,2", [](auto& o) { return o.RcOverride == "0,100,2"; }},
      {"vcodec", "mpeg4", [](auto& o) { return o.CodecNames[TStreamKind::Video] == "mpeg4"; }},
      {"acodec", "copy", [](auto& o) { return o.StreamCopy[TStreamKind::Audio] && !o.CodecNames[TStreamKind::Audio]; }},
      {"scodec", "ass", [](auto& o) { return o.CodecNames[TStreamKind::Subtitle] == "ass"; }},
      {"me_threshold", "5", [](auto& o) { return o.MeThreshold == 5; }},
      {"sameq", "", [](auto& o) { return o.SameQuality; }},
      {"pass", "2", [](auto& o) { return o.DoPass == 2; }},
      {"passlogfile", "stats", [](auto& o) { return o.PassLogFileName == "stats"; }},
      {"deinterlace", "", [](auto& o) { return o.DoDeinterlace; }},
      {"psnr", "", [](auto& o) { return o.DoPSNR; }},
      {"vstats", "", [](auto& o) {
         // "<folder>/vstats_hhnnss.log" beside the executable
         const std::string folder = ProgramFolder();
         const std::string& name = o.VStatsFileName.value_or("");
         return folder.back() == '/' && name.rfind(folder + "vstats_", 0) == 0 &&
                name.size() == folder.size() + 17 && name.substr(name.size() - 4) == ".log" &&
                name.find_first_not_of("0123456789", folder.size() + 7) == name.size() - 4;
       }},
      {"vstats_file", "v.log", [](auto& o) { return o.VStatsFileName == "v.log"; }},
      {"vf", "scale=32:24", [](auto& o) { return o.VideoFilters == "scale=32:24"; }},
      {"vfilters", "hflip", [](auto& o) { return o.VideoFilters == "hflip"; }},
      {"top", "1", [](auto& o) { return o.TopFieldFirst == 1; }},
      {"dc", "10", [](auto& o) { return o.IntraDcPrecision == 10; }},
      {"atag", "mp4a", [](auto& o) { return o.CodecTags[TStreamKind::Audio] == 0x6134706Du; }},
      {"stag", "7", [](auto& o) { return o.CodecTags[TStreamKind::Subtitle] == 7u; }},
      {"vlang", "eng", [](auto& o) { return o.Languages[TStreamKind::Video] == "eng"; }},
      {"alang", "deu", [](auto& o) { return o.Languages[TStreamKind::Audio] == "deu"; }},
      {"slang", "fra", [](auto& o) { return o.Languages[TStreamKind::Subtitle] == "fra"; }},
      {"qphist", "", [](auto& o) { return o.QpHist; }},
      {"force_fps", "", [](auto& o) { return o.ForceFps; }},
      {"force_key_frames", "0,1.5", [](auto& o) { return o.ForcedKeyFrames == "0,1.5"; }},
      {"aframes", "9", [](auto& o) { return o.MaxFrames[TStreamKind::Audio] == 9; }},
      {"aq", "3", [](auto& o) { return o.AudioQScale == 3.0f; }},
      {"ar", "22050", [](auto& o) { return o.AudioSampleRate == 22050; }},
      {"ac", "1", [](auto& o) { return o.AudioChannels == 1; }},
      {"an", "", [](auto& o) { return o.Disabled[TStreamKind::Audio]; }},
      {"vol", "512", [](auto& o) { return o.AudioVolume == 512; }},
      {"sample_fmt", "fltp", [](auto& o) { return o.AudioSampleFmt == AV_SAMPLE_FMT_FLTP; }},
      {"sn", "", [](auto& o) { return o.Disabled[TStreamKind::Subtitle]; }},
      {"vc", "2", [](auto& o) { return o.VideoChannel == 2; }},
      {"tvstd", "pal", [](auto& o) { return o.VideoStandard == "pal"; }},
      {"isync", "", [](auto& o) { return o.InputSync; }},
      {"muxdelay", "0.3", [](auto& o) { return o.MuxMaxDelay == 0.3f; }},
      {"muxpreload", "0.2", [](auto& o) { return o.MuxPreload == 0.2f; }},
      {"vbsf", "h264_mp4toannexb", [](auto& o) { return o.BitstreamFilters[TStreamKind::Video].size() == 1 && o.BitstreamFilters[TStreamKind::Video][0].Name == "h264_mp4toannexb"; }},
      {"absf", "aac_adtstoasc", [](auto& o) { return o.BitstreamFilters[TStreamKind::Audio].size() == 1; }},
      {"sbsf", "null", [](auto& o) { return o.BitstreamFilters[TStreamKind::Subtitle].size() == 1; }},
  };
  for (const TEffect& e : effects) {
    TTestTask task;
    task.ParseOption(e.Name, e.Value);
    EXPECT_TRUE(e.Holds(task.Options())) << e.Name << "=" << e.Value;
  }
}

TEST_F(TaskOptions, RefusalsCarryTheirExactTextsAndChangeNothing) {
  struct TRefusal {
    const char* Name;
    const char* Value;
    const char* Message;
  } refusals[] = {
      {"t", "soon", "Invalid duration specification for t: soon"},
      {"ss", "1:xx", "Invalid duration specification for ss: 1:xx"},
      {"timestamp", "yesterday-ish", "Invalid date specification for timestamp: yesterday-ish"},
      {"itsscale", "20:1.5", "stream index over MAX_STREAMS(20)"},
      {"metadata", "title", "Missing ="},
      {"metadata", "=x", "wrong parameter of metadata"},
      {"r", "fast", "Incorrect frame rate"},
      {"s", "huge", "Incorrect frame size"},
      {"aspect", "4:0", "Incorrect aspect ratio specification."},
      {"aspect", "0", "Incorrect aspect ratio specification."},
      {"pix_fmt", "rgb99", "Unknown pixel format requested: rgb99"},
      {"croptop", "2", "Removed, use the crop filter instead"},
      {"cropright", "", "Removed, use the crop filter instead"},
      {"padleft", "2", "Removed, use the pad filter instead"},
      {"padcolor", "000000", "Removed, use the pad filter instead"},
      {"qscale", "0", "qscale must be > 0.0 and <= 255"},
      {"qscale", "256", "qscale must be > 0.0 and <= 255"},
      {"pass", "3", "pass number can be only 1 or 2"},
      {"sample_fmt", "s17", "Invalid sample format \"s17\""},
      {"vbsf", "no_such_filter=x", "Unknown bitstream filter no_such_filter=x"},
      {"newvideo", "", "At least one output file must be specified"},
      {"newaudio", "", "At least one output file must be specified"},
      {"newsubtitle", "", "At least one output file must be specified"},
      {"streamid", "2", "Invalid value \"2\" for option \"streamid\", required syntax is \"index:value\""},
      {"map_meta_data", "0,z:1", "Invalid metadata type z."},
      {"target", "pal-vhs", "Unknown target type"},
      {"vhook", "/no/such/hook.so -x", "Failed to add video hook function: /no/such/hook.so -x"},
      {"no_such_option_anywhere", "1", "Unrecognized option \"no_such_option_anywhere\""},
  };
  for (const TRefusal& r : refusals) {
    TTestTask task;
    task.ParseOption("streamid", "1:7");
    task.ParseOption("s", "64x48");
    EXPECT_EQ([&] {
      try {
        task.ParseOption(r.Name, r.Value);
      } catch (const FFmpegException& e) {
        return e.Message;
      }
      return std::string();
    }(), r.Message) << r.Name << "=" << r.Value;
    EXPECT_EQ(task.Options().StreamIdMap.size(), 2u) << r.Name;
    EXPECT_EQ(task.Options().FrameWidth, 64) << r.Name;
    EXPECT_TRUE(task.Options().PendingMetadata.empty()) << r.Name;
    EXPECT_EQ(task.Options().FrameAspectRatio, 0.0f) << r.Name;
    EXPECT_EQ(task.Options().TsScales.size(), 0u) << r.Name;
    EXPECT_FALSE(task.FrameHooksActive()) << r.Name;
  }
}

TEST_F(TaskOptions, NumbersThatAreNoNumbersRaiseTheConversionError) {
  for (const char* name : {"fs", "dframes", "v", "threads", "vframes", "vdt", "ar", "ac", "vol", "pass", "aq"})
    EXPECT_THROW(Task.ParseOption(name, "many"), EConvertError) << name;
}

TEST_F(TaskOptions, EmptyFilterTextKeepsTheGraph) {
  Task.ParseOption("vf", "hflip");
  Task.ParseOption("vfilters", "");
  EXPECT_EQ(Opt.VideoFilters, "hflip");
}

TEST_F(TaskOptions, VstatsOffFreesTheStatisticsFileName) {
  Task.ParseOption("vstats_file", "mine.log");
  Task.ParseOption("vstats", "0");
  EXPECT_FALSE(Opt.VStatsFileName);
}

TEST_F(TaskOptions, AudioSwitchOffAndOnAgain) {
  Task.ParseOption("an", "");
  EXPECT_TRUE(Opt.Disabled[TStreamKind::Audio]);
  Task.ParseOption("an", "0");
  EXPECT_FALSE(Opt.Disabled[TStreamKind::Audio]);
}

TEST_F(TaskOptions, NonPositiveSampleRateAndChannelsAreIgnored) {
  Task.ParseOption("ar", "48000");
  Task.ParseOption("ac", "6");
  Task.ParseOption("ar", "0");
  Task.ParseOption("ac", "-1");
  EXPECT_EQ(Opt.AudioSampleRate, 48000);
  EXPECT_EQ(Opt.AudioChannels, 6);
}

TEST_F(TaskOptions, CodecCopyThenNameKeepsCopyAndStoresName) {
  Task.ParseOption("vcodec", "copy");
  EXPECT_TRUE(Opt.StreamCopy[TStreamKind::Video]);
  Task.ParseOption("vcodec", "");
  EXPECT_FALSE(Opt.CodecNames[TStreamKind::Video]);
  Task.ParseOption("vcodec", "mpeg4");
  EXPECT_TRUE(Opt.StreamCopy[TStreamKind::Video]);
  EXPECT_EQ(Opt.CodecNames[TStreamKind::Video], "mpeg4");
}

TEST_F(TaskOptions, LowBitRateWarnsAndKiloBitsDoNot) {
  const std::string warning =
      "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s";
  {
    TLogCapture log;
    Task.ParseOption("b", "64k");
    Task.ParseOption("ab", "128k");
    EXPECT_FALSE(log.Has(llWarning, warning));
  }
  {
    TLogCapture log;
    Task.ParseOption("b", "500");
    EXPECT_EQ(log.Count(llWarning, warning), 1);
  }
  {
    TLogCapture log;
    Task.ParseOption("ab", "96");
    EXPECT_EQ(log.Count(llWarning, warning), 1);
  }
  EXPECT_TRUE(Task.HasGenericOption("b"));
}

TEST_F(TaskOptions, CodecTagsFromLettersAndNumbers) {
  Task.ParseOption("vtag", "XVID");
  EXPECT_EQ(Opt.CodecTags[TStreamKind::Video] & 0xFF, uint32_t('X'));
  EXPECT_EQ(Opt.CodecTags[TStreamKind::Video], 0x44495658u);
  Task.ParseOption("vtag", "1234");
  EXPECT_EQ(Opt.CodecTags[TStreamKind::Video], 1234u);
  Task.ParseOption("vtag", "");
  EXPECT_EQ(Opt.CodecTags[TStreamKind::Video], 1234u);
  EXPECT_THROW(Task.ParseOption("vtag", "XVIDX"), EAssertionFailed);
  EXPECT_EQ(Opt.CodecTags[TStreamKind::Video], 1234u);
}

TEST_F(TaskOptions, StreamIdGrowsTheMap) {
  Task.ParseOption("streamid", "2:5");
  ASSERT_EQ(Opt.StreamIdMap.size(), 3u);
  EXPECT_EQ(Opt.StreamIdMap[2], 5);
  EXPECT_EQ(Opt.StreamIdMap[0], 0);
  Task.ParseOption("streamid", "0:9");
  EXPECT_EQ(Opt.StreamIdMap.size(), 3u);
  EXPECT_EQ(Opt.StreamIdMap[0], 9);
}

TEST_F(TaskOptions, UnknownNameIsIgnoredWhenOptionErrorsAreOff) {
  Task.SetRaiseOptionErrors(false);
  Task.ParseOption("s", "32x16");
  EXPECT_NO_THROW(Task.ParseOption("no_such_option_anywhere", "1"));
  EXPECT_FALSE(Task.HasGenericOption("no_such_option_anywhere"));
  EXPECT_EQ(Opt.FrameWidth, 32);
  EXPECT_TRUE(Opt.FormatName.empty());
  // The library's own check still applies to a known name with a bad value, silently.
  EXPECT_NO_THROW(Task.ParseOption("b", "lots"));
}

TEST_F(TaskOptions, GenericOptionsGoToTheOptionContext) {
  Task.ParseOption("g", "12");
  Task.ParseOption("maxrate", "1000000");
  Task.ParseOption("sws_flags", "bilinear");
  EXPECT_TRUE(Task.HasGenericOption("g"));
  EXPECT_TRUE(Task.HasGenericOption("maxrate"));
  EXPECT_TRUE(Task.HasGenericOption("sws_flags"));
  EXPECT_EQ(Refusal("g", "twelve"), "Invalid value \"twelve\" for option \"g\"");
  EXPECT_TRUE(Task.SetGenericOption("bufsize", 327680));
  EXPECT_TRUE(Task.HasGenericOption("bufsize"));
}

TEST_F(TaskOptions, MatrixIsAllocatedOnFirstUseAndKeptOnSyntaxError) {
  std::string text;
  for (int i = 0; i < 64; ++i) text += (i ? "," : "") + std::to_string(16 + i);
  Task.ParseOption("intra_matrix", text);
  ASSERT_TRUE(Opt.IntraMatrix);
  EXPECT_EQ((*Opt.IntraMatrix)[63], 79);
  EXPECT_EQ(Refusal("intra_matrix", "1,2,3"), "Syntax error in matrix \"1,2,3\" at coeff 2");
  EXPECT_EQ((*Opt.IntraMatrix)[63], 79);
  EXPECT_FALSE(Opt.InterMatrix);
  EXPECT_EQ(Refusal("inter_matrix", "8"), "Syntax error in matrix \"8\" at coeff 0");
  EXPECT_FALSE(Opt.InterMatrix);
}

TEST_F(TaskOptions, BitstreamFiltersAppendToTheChainOfTheirKind) {
  Task.ParseOption("vbsf", "");
  Task.ParseOption("vbsf", "=dump_extra");
  EXPECT_TRUE(Opt.BitstreamFilters[TStreamKind::Video].empty());
  Task.ParseOption("vbsf", "dump_extra=freq=keyframe");
  Task.ParseOption("vbsf", "remove_extra");
  ASSERT_EQ(Opt.BitstreamFilters[TStreamKind::Video].size(), 2u);
  EXPECT_EQ(Opt.BitstreamFilters[TStreamKind::Video][0].Name, "dump_extra");
  EXPECT_EQ(Opt.BitstreamFilters[TStreamKind::Video][0].Text, "dump_extra=freq=keyframe");
  EXPECT_EQ(Opt.BitstreamFilters[TStreamKind::Video][1].Name, "remove_extra");
  EXPECT_EQ(Refusal("absf", " bogus "), "Unknown bitstream filter bogus");
  EXPECT_TRUE(Opt.BitstreamFilters[TStreamKind::Audio].empty());
}

TEST_F(TaskOptions, InformationalNamesLogAndChangeNothing) {
  TLogCapture log;
  for (const char* name : {"L", "h", "version", "formats", "codecs", "bsfs", "protocols", "filters", "i", "y", "benchmark"}) {
    Task.ParseOption(name, "x");
    EXPECT_TRUE(log.Has(llInfo, std::string("Do nothing: option - ") + name)) << name;
  }
  Task.ParseOption("timelimit", "10");
  EXPECT_TRUE(log.Has(llWarning, "Warning: -timelimit not implemented on Windows"));
  EXPECT_TRUE(Opt.FormatName.empty());
}

TEST_F(TaskOptions, ThreadsWarnsAboutEmulationUnlessQuiet) {
  const std::string text =
      "Warning: if the ffmpeg libraries were not compiled with thread support, it would be using thread emulation.";
  {
    TLogCapture log;
    Task.ParseOption("threads", "2");
    EXPECT_EQ(log.Count(llVerbose, text), 1);
  }
  Task.ParseOption("v", "-1");
  TLogCapture log;
  Task.ParseOption("threads", "3");
  EXPECT_EQ(log.Count(llVerbose, text), 0);
}

TEST_F(TaskOptions, FormatListsAreLogged) {
  TLogCapture log;
  Task.ParseOption("pix_fmt", "list");
  Task.ParseOption("sample_fmt", "list");
  // A header line each, then every format of the loaded libraries, the planar sample formats too.
  EXPECT_EQ(log.LinesAt(llInfo), (AV_PIX_FMT_NB + 1) + (AV_SAMPLE_FMT_NB + 1));
  EXPECT_TRUE(log.Has(llInfo, "yuv420p           3         12"));
  EXPECT_TRUE(log.Has(llInfo, "bgr555le          3         15"));
  EXPECT_TRUE(log.Has(llInfo, "fltp     32"));
  EXPECT_EQ(Opt.FramePixFmt, -1);
  EXPECT_EQ(Opt.AudioSampleFmt, -1);
}

TEST_F(TaskOptions, LogLevelByName) {
  const TLogLevel before = FFLogger()->LogLevel();
  Task.ParseOption("loglevel", "error");
  EXPECT_EQ(FFLogger()->LogLevel(), llError);
  FFLogger()->SetLogLevel(before);
}

TEST_F(TaskOptions, DirectSettersIgnoreTheirNoValueMarkers) {
  Task.SetRecordingTime(NoValue);
  EXPECT_EQ(Opt.RecordingTime, INT64_MAX);
  EXPECT_EQ(Task.ExpectedDuration(), -1);
  Task.SetRecordingTime(3000000);
  EXPECT_EQ(Opt.RecordingTime, 3000000);
  EXPECT_EQ(Task.ExpectedDuration(), 3000000);
  Task.SetStartTime(NoValue);
  EXPECT_EQ(Opt.StartTime, 0);
  Task.SetStartTime(1000000);
  EXPECT_EQ(Opt.StartTime, 1000000);
  EXPECT_EQ(Task.ExpectedDuration(), 3000000);
  Task.SetProgramId(-1);
  Task.SetAudioVolume(-5);
  EXPECT_EQ(Opt.ProgramId, 0);
  EXPECT_EQ(Opt.AudioVolume, 256);
  Task.SetProgramId(4);
  Task.SetAudioVolume(0);
  EXPECT_EQ(Opt.ProgramId, 4);
  EXPECT_EQ(Opt.AudioVolume, 0);
  Task.SetMuxMaxDelay(0);
  Task.SetMuxPreload(-1);
  EXPECT_FLOAT_EQ(Opt.MuxMaxDelay, 0.7f);
  EXPECT_FLOAT_EQ(Opt.MuxPreload, 0.5f);
  Task.SetMuxMaxDelay(0.1f);
  Task.SetMuxPreload(0.2f);
  EXPECT_FLOAT_EQ(Opt.MuxMaxDelay, 0.1f);
  EXPECT_FLOAT_EQ(Opt.MuxPreload, 0.2f);
  Task.SetAudioSyncMethod(1);
  Task.SetVideoSyncMethod(0);
  Task.SetVerbosity(-1);
  Task.SetFormatName("rawrgb");
  EXPECT_EQ(Opt.AudioSyncMethod, 1);
  EXPECT_EQ(Opt.VideoSyncMethod, TVideoSyncMethod::Passthrough);
  EXPECT_EQ(Opt.Verbose, -1);
  EXPECT_EQ(Opt.FormatName, "rawrgb");
}

TEST_F(TaskOptions, ResetOptionsRestoresTheDefaults) {
  Task.ParseOption("s", "64x48");
  Task.ParseOption("t", "5");
  Task.ParseOption("g", "12");
  Task.ResetOptions();
  EXPECT_EQ(Opt.FrameWidth, 0);
  EXPECT_EQ(Opt.RecordingTime, INT64_MAX);
  EXPECT_EQ(Task.ExpectedDuration(), -1);
  EXPECT_FALSE(Task.HasGenericOption("g"));
}

TEST_F(TaskOptions, TargetsSetTheirNormsSizesAndAudio) {
  Task.ParseOption("target", "pal-vcd");
  EXPECT_EQ(Opt.CodecNames[TStreamKind::Video], "mpeg1video");
  EXPECT_EQ(Opt.CodecNames[TStreamKind::Audio], "mp2");
  EXPECT_EQ(Opt.FormatName, "vcd");
  EXPECT_EQ(Opt.FrameWidth, 352);
  EXPECT_EQ(Opt.FrameHeight, 288);
  EXPECT_EQ(Opt.FrameRateNum, 25);
  EXPECT_EQ(Opt.FrameRateDen, 1);
  EXPECT_EQ(Opt.AudioSampleRate, 44100);
  EXPECT_FLOAT_EQ(Opt.MuxPreload, 0.44f);
  EXPECT_FLOAT_EQ(Opt.FrameAspectRatio, 4.0f / 3.0f);
  EXPECT_TRUE(Task.HasGenericOption("packetsize"));
  EXPECT_TRUE(Task.HasGenericOption("muxrate"));

  TTestTask dvd;
  dvd.ParseOption("ac", "1");
  dvd.ParseOption("aspect", "2.35");
  dvd.ParseOption("target", "ntsc-dvd");
  EXPECT_EQ(dvd.Options().FrameWidth, 720);
  EXPECT_EQ(dvd.Options().FrameHeight, 480);
  EXPECT_EQ(dvd.Options().FrameRateNum, 30000);
  EXPECT_EQ(dvd.Options().AudioChannels, 2);
  EXPECT_EQ(dvd.Options().AudioSampleRate, 48000);
  EXPECT_FLOAT_EQ(dvd.Options().FrameAspectRatio, 2.35f);

  TTestTask dv;
  dv.ParseOption("target", "ntsc-dv");
  EXPECT_EQ(dv.Options().FramePixFmt, AV_PIX_FMT_YUV411P);
  TTestTask dv50;
  dv50.ParseOption("target", "pal-dv50");
  EXPECT_EQ(dv50.Options().FramePixFmt, AV_PIX_FMT_YUV422P);
}

TEST_F(TaskOptions, AutoTargetNeedsAFrameRate) {
  EXPECT_EQ(Refusal("target", "vcd"), "frame_rate is invalid.");
  TLogCapture log;
  Task.ParseOption("r", "30000/1001");
  Task.ParseOption("target", "svcd");
  EXPECT_EQ(Opt.FrameHeight, 480);
  EXPECT_TRUE(log.Has(llVerbose, "Assuming NTSC for target."));
  EXPECT_TRUE(log.Has(llInfo, "Assuming 4:3 for aspect ratio"));
}

TEST_F(TaskOptions, FrameHookIsConfiguredWithItsArguments) {
  const std::string module = std::string(VIDORANT_TEST_HOOK_DIR) + "FullHook" + VIDORANT_TEST_HOOK_SUFFIX;
  HookClearEvents();
  Task.ParseOption("vhook", module + "|first tag|second");
  EXPECT_TRUE(Task.FrameHooksActive());
  EXPECT_EQ(Task.FrameHooks().Count(), 1u);
  Task.ParseOption("vhook", module + " solo");
  EXPECT_EQ(Task.FrameHooks().Count(), 2u);
  EXPECT_STREQ(HookEvents(), "configure:3;configure:2;");
  EXPECT_EQ(Refusal("vhook", module + " fail"), "Failed to add video hook function: " + module + " fail");
  EXPECT_EQ(Task.FrameHooks().Count(), 2u);
}

// A reset task runs no hook of its former configuration: the chain is released and inactive.
TEST_F(TaskOptions, ResetOptionsReleasesTheFrameHooks) {
  const std::string module = std::string(VIDORANT_TEST_HOOK_DIR) + "FullHook" + VIDORANT_TEST_HOOK_SUFFIX;
  Task.ParseOption("vhook", module + " kept");
  HookClearEvents();
  Task.ResetOptions();
  EXPECT_STREQ(HookEvents(), "release:kept;");
  EXPECT_EQ(Task.FrameHooks().Count(), 0u);
  EXPECT_FALSE(Task.FrameHooksActive());
}

class TaskPresets : public TaskOptions {
protected:
  std::string PresetFile(const std::string& name, const std::string& text) {
    const std::string path = Tmp.File(name);
    std::ofstream(path) << text;
    return path;
  }
  TTempFolder Tmp;
};

TEST_F(TaskPresets, FileLinesSetCodecsAndGenericOptions) {
  const std::string file = PresetFile("good.ffpreset", "# mine\r\nVCODEC=mpeg4\r\ng=24\r\n\r\nbf=2\r\n");
  Task.ParseOption("fpre", file);
  EXPECT_EQ(Opt.CodecNames[TStreamKind::Video], "mpeg4");
  EXPECT_TRUE(Task.HasGenericOption("g"));
  EXPECT_TRUE(Task.HasGenericOption("bf"));
  Task.ParseOption("vpre", "");  // ignored
}

TEST_F(TaskPresets, SyntaxErrorNamesTheFileAndLine) {
  const std::string file = PresetFile("bad.ffpreset", "g=24\nbf 2\n");
  EXPECT_EQ(Refusal("fpre", file), file + ": Invalid syntax: \"bf 2\"");
  EXPECT_FALSE(Task.HasGenericOption("g"));
}

TEST_F(TaskPresets, RefusedPairCarriesTheStoresMessage) {
  const std::string file = PresetFile("refused.ffpreset", "g=many\n");
  EXPECT_EQ(Refusal("fpre", file),
            "Invalid value \"many\" for option \"g\"\r\n" + file +
                ": Invalid option or argument: \"g=many\", parsed as \"g\" = \"many\"");
  Task.SetRaiseOptionErrors(false);
  EXPECT_EQ(Refusal("fpre", file), "");
}

TEST_F(TaskPresets, MissingFileIsNotFound) {
  EXPECT_EQ(Refusal("vpre", Tmp.File("none")), "Preset \"" + Tmp.File("none") + "\" not found");
  EXPECT_EQ(Refusal("fpre", "libx264-main"), "Preset \"libx264-main\" not found");
}

TEST_F(TaskPresets, EveryBuiltInPresetIsAcceptedByTheOptionStore) {
  for (const TBuiltInPreset& preset : BuiltInPresets) {
    TTestTask task;
    EXPECT_EQ([&] {
      try {
        task.ParseOption("vpre", preset.Name);
      } catch (const FFmpegException& e) {
        return e.Message;
      }
      return std::string();
    }(), "") << preset.Name;
  }
}

TEST_F(TaskPresets, BuiltInNamesAndTheCodecSuffix) {
  Task.ParseOption("vpre", "LIBX264-ultrafast");
  EXPECT_TRUE(Task.HasGenericOption("preset"));
  TTestTask task;
  task.ParseOption("vcodec", "libx264");
  task.ParseOption("vpre", "slow_firstpass");
  EXPECT_TRUE(task.HasGenericOption("preset"));
  EXPECT_TRUE(task.HasGenericOption("fastfirstpass"));
  // The codec name goes in front of the short name; without it the short name is a file name,
  // and there is no such file.
  TTestTask plain;
  EXPECT_EQ([&] {
    try {
      plain.ParseOption("vpre", "slow_firstpass");
    } catch (const FFmpegException& e) {
      return e.Message;
    }
    return std::string();
  }(), "Preset \"slow_firstpass\" not found");
}

}  // namespace
}  // namespace vidorant::testing
