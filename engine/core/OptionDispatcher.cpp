// The vocabulary of a task's options: every name maps to one handler; a name that is none of
// them goes to the generic store as a codec, format or scaler option.
// Invariant: a handler validates its whole value before it changes any state.
#include "engine/core/TaskOptions.h"

#include "engine/core/FFmpegException.h"
#include "engine/core/OptionValues.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFLog.h"
#include "platform/Format.h"

#include <cstdlib>

extern "C" {
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

namespace vidorant {
namespace {

using THandlerFn = void (*)(TTaskOptions& options, const std::string& name, const std::string& value);
using THandlerTable = std::unordered_map<std::string, THandlerFn>;

void Add(THandlerTable& table, std::initializer_list<const char*> names, THandlerFn handler) {
  for (const char* name : names) table.emplace(name, handler);
}

// Logs the lines describe gives for the table entries first to last, trimmed, at llInfo.
void LogTable(const TTaskOptions& t, int first, int last, char* (*describe)(char* buffer, int size, int index)) {
  char line[512];
  for (int i = first; i <= last; ++i) t.Log(llInfo, Trim(describe(line, sizeof line, i)));
}

// The kind named by the first letter of a per-kind option ("vtag", "alang", "sbsf").
TStreamKind KindOfOption(const std::string& name) {
  return name[0] == 'v' ? TStreamKind::Video : name[0] == 'a' ? TStreamKind::Audio : TStreamKind::Subtitle;
}

}  // namespace

const TTaskOptions::THandlers& TTaskOptions::Handlers() {
  static const THandlers table = [] {
    THandlers m;
    using T = TTaskOptions;
    using S = const std::string&;
    auto doNothing = [](T& t, S name, S) { t.Log(llInfo, "Do nothing: option - " + name); };
    Add(m, {"L", "h", "version", "formats", "codecs", "bsfs", "protocols", "filters", "i", "y",
            "benchmark"},
        doNothing);
    Add(m, {"loglevel"}, [](T&, S, S v) { FFLogger()->SetLogLevelByName(v); });
    Add(m, {"f"}, [](T& t, S, S v) {
      if (!v.empty()) t.FState.FormatName = v;
    });
    Add(m, {"map"}, [](T& t, S, S v) { t.FState.StreamMaps.push_back(ParseStreamMap(v)); });
    Add(m, {"map_meta_data", "map_metadata"}, [](T& t, S, S v) {
      const TMetaDataMap map = ParseMetaDataMap(v);
      auto either = [&](char type) { return map.Out.Type == type || map.In.Type == type; };
      if (either('g')) t.FState.MetadataGlobalAutoCopy = false;
      if (either('s')) t.FState.MetadataStreamsAutoCopy = false;
      if (either('c')) t.FState.MetadataChaptersAutoCopy = false;
      t.FState.MetaDataMaps.push_back(map);
    });
    Add(m, {"map_chapters"}, [](T& t, S, S v) { t.FState.ChapterMaps.push_back(ParseChapterMap(v)); });
    Add(m, {"t"}, [](T& t, S n, S v) {
      const int64_t us = T::ParseTime(n, v, false);
      t.FState.RecordingTime = us;
      t.FState.ExpectedDuration = us;
    });
    Add(m, {"fs"}, [](T& t, S, S v) { t.FState.LimitFileSize = StrToInt64(v); });
    Add(m, {"ss"}, [](T& t, S n, S v) { t.FState.StartTime = T::ParseTime(n, v, false); });
    Add(m, {"itsoffset"}, [](T& t, S n, S v) { t.FState.InputTsOffset = T::ParseTime(n, v, false); });
    Add(m, {"itsscale"}, [](T& t, S, S v) { t.SetTimestampScale(v); });
    Add(m, {"timestamp"}, [](T& t, S n, S v) {
      const int64_t us = T::ParseTime(n, v, true);
      t.FState.RecordingTimestamp = (us + (us >= 0 ? 500000 : -500000)) / 1000000;
    });
    Add(m, {"metadata"}, [](T& t, S, S v) {
      const size_t eq = v.find('=');
      if (eq == std::string::npos) throw FFmpegException("Missing =");
      if (eq == 0) throw FFmpegException("wrong parameter of metadata");
      t.FState.PendingMetadata.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    });
    Add(m, {"dframes"}, [](T& t, S, S v) { t.FState.MaxFrames[TStreamKind::Data] = StrToInt(v); });
    Add(m, {"timelimit"},
        [](T& t, S, S) { t.Log(llWarning, "Warning: -timelimit not implemented on Windows"); });
    Add(m, {"dump"}, [](T& t, S, S v) { t.FState.DoPktDump = OptionBool(v); });
    Add(m, {"hex"}, [](T& t, S, S v) { t.FState.DoHexDump = OptionBool(v); });
    Add(m, {"re"}, [](T& t, S, S v) { t.FState.RateEmu = OptionBool(v); });
    Add(m, {"loop_input"}, [](T& t, S, S v) { t.FState.LoopInput = OptionBool(v); });
    Add(m, {"loop_output"}, [](T& t, S, S v) { t.FState.LoopOutput = StrToInt(v); });
    Add(m, {"v"}, [](T& t, S, S v) { t.FState.Verbose = StrToInt(v); });
    Add(m, {"target"}, [](T& t, S, S v) { t.ApplyTarget(v); });
    Add(m, {"threads"}, [](T& t, S, S v) {
      t.FState.ThreadCount = StrToInt(v);
      if (t.FState.Verbose >= 0)
        t.Log(llVerbose,
              "Warning: if the ffmpeg libraries were not compiled with thread support, it would "
              "be using thread emulation.");
    });
    Add(m, {"vsync"}, [](T& t, S, S v) { t.FState.VideoSyncMethod = static_cast<TVideoSyncMethod>(StrToInt(v)); });
    Add(m, {"async"}, [](T& t, S, S v) { t.FState.AudioSyncMethod = StrToInt(v); });
    Add(m, {"adrift_threshold"},
        [](T& t, S, S v) { t.FState.AudioDriftThreshold = static_cast<float>(StrToFloat(v)); });
    Add(m, {"vglobal"}, [](T& t, S, S v) { t.FState.VideoGlobalHeader = StrToInt(v); });
    Add(m, {"copyts"}, [](T& t, S, S v) { t.FState.CopyTs = OptionBool(v); });
    Add(m, {"copytb"}, [](T& t, S, S v) { t.FState.CopyTb = OptionBool(v); });
    Add(m, {"shortest"}, [](T& t, S, S v) { t.FState.OptShortest = OptionBool(v); });
    Add(m, {"dts_delta_threshold"},
        [](T& t, S, S v) { t.FState.DtsDeltaThreshold = static_cast<float>(StrToFloat(v)); });
    Add(m, {"programid"}, [](T& t, S, S v) { t.FState.ProgramId = StrToInt(v); });
    Add(m, {"xerror"}, [](T& t, S, S v) { t.FState.ExitOnError = OptionBool(v); });
    Add(m, {"copyinkf"}, [](T& t, S, S v) { t.FState.CopyInitialNonKeyFrames = StrToInt(v); });
    Add(m, {"b", "vb", "ab"}, [](T& t, S n, S v) { t.SetBitRate(n, v); });
    Add(m, {"vframes"}, [](T& t, S, S v) { t.FState.MaxFrames[TStreamKind::Video] = StrToInt(v); });
    Add(m, {"r"}, [](T& t, S, S v) {
      AVRational rate{0, 0};
      if (ff::av_parse_video_rate(&rate, v.c_str()) < 0) throw FFmpegException("Incorrect frame rate");
      t.FState.FrameRateNum = rate.num;
      t.FState.FrameRateDen = rate.den;
    });
    Add(m, {"s"}, [](T& t, S, S v) {
      int width = 0, height = 0;
      if (ff::av_parse_video_size(&width, &height, v.c_str()) < 0)
        throw FFmpegException("Incorrect frame size");
      t.FState.FrameWidth = width;
      t.FState.FrameHeight = height;
    });
    Add(m, {"aspect"}, [](T& t, S, S v) { t.FState.FrameAspectRatio = ParseAspectRatio(v); });
    Add(m, {"pix_fmt"}, [](T& t, S, S v) {
      if (v == "list") {
        // Every format this generation has: the old tables were shorter.
        LogTable(t, -1, AV_PIX_FMT_NB - 1, [](char* buffer, int size, int index) {
          return ff::av_get_pix_fmt_string(buffer, size, static_cast<AVPixelFormat>(index));
        });
        return;
      }
      const AVPixelFormat format = ff::av_get_pix_fmt(v.c_str());
      if (format == AV_PIX_FMT_NONE)
        throw FFmpegException(Format("Unknown pixel format requested: %s", v.c_str()));
      t.FState.FramePixFmt = format;
    });
    Add(m, {"croptop", "cropbottom", "cropleft", "cropright"},
        [](T&, S, S) { throw FFmpegException("Removed, use the crop filter instead"); });
    Add(m, {"padtop", "padbottom", "padleft", "padright", "padcolor"},
        [](T&, S, S) { throw FFmpegException("Removed, use the pad filter instead"); });
    Add(m, {"intra"}, [](T& t, S, S v) { t.FState.IntraOnly = OptionBool(v); });
    Add(m, {"vn", "an", "sn"}, [](T& t, S n, S v) { t.FState.Disabled[KindOfOption(n)] = OptionBool(v); });
    Add(m, {"vdt"}, [](T& t, S, S v) { t.FState.VideoDiscard = static_cast<AVDiscard>(StrToInt(v)); });
    Add(m, {"qscale"}, [](T& t, S, S v) {
      const double q = StrToFloat(v);
      if (!(q > 0 && q <= 255)) throw FFmpegException("qscale must be > 0.0 and <= 255");
      t.FState.VideoQScale = static_cast<float>(q);
    });
    Add(m, {"rc_override"}, [](T& t, S, S v) { t.FState.RcOverride = v; });
    Add(m, {"vcodec", "acodec", "scodec"}, [](T& t, S n, S v) { t.SetCodecName(KindOfOption(n), v); });
    Add(m, {"me_threshold"}, [](T& t, S, S v) { t.FState.MeThreshold = StrToInt(v); });
    Add(m, {"sameq"}, [](T& t, S, S v) { t.FState.SameQuality = OptionBool(v); });
    Add(m, {"pass"}, [](T& t, S, S v) {
      const int32_t pass = StrToInt(v);
      if (pass != 1 && pass != 2) throw FFmpegException("pass number can be only 1 or 2");
      t.FState.DoPass = pass;
    });
    Add(m, {"passlogfile"}, [](T& t, S, S v) { t.FState.PassLogFileName = v; });
    Add(m, {"deinterlace"}, [](T& t, S, S v) { t.FState.DoDeinterlace = OptionBool(v); });
    Add(m, {"psnr"}, [](T& t, S, S v) { t.FState.DoPSNR = OptionBool(v); });
    Add(m, {"vstats"}, [](T& t, S, S v) {
      t.FState.VStatsFileName.reset();
      if (OptionBool(v)) t.FState.VStatsFileName = T::DefaultVStatsFileName();
    });
    Add(m, {"vstats_file"}, [](T& t, S, S v) { t.FState.VStatsFileName = v; });
    Add(m, {"vhook"}, [](T& t, S, S v) { t.AddFrameHookOption(v); });
    Add(m, {"vfilters", "vf"}, [](T& t, S, S v) {
      if (!v.empty()) t.FState.VideoFilters = v;
    });
    Add(m, {"intra_matrix"},
        [](T& t, S, S v) { t.FState.IntraMatrix = std::make_unique<TQuantMatrix>(ParseMatrix(v)); });
    Add(m, {"inter_matrix"},
        [](T& t, S, S v) { t.FState.InterMatrix = std::make_unique<TQuantMatrix>(ParseMatrix(v)); });
    Add(m, {"top"}, [](T& t, S, S v) { t.FState.TopFieldFirst = StrToInt(v); });
    Add(m, {"dc"}, [](T& t, S, S v) { t.FState.IntraDcPrecision = StrToInt(v); });
    Add(m, {"vtag", "atag", "stag"}, [](T& t, S n, S v) {
      if (v.empty()) return;
      t.FState.CodecTags[KindOfOption(n)] = ParseCodecTag(v);
    });
    Add(m, {"newvideo", "newaudio", "newsubtitle"}, [](T& t, S, S) {
      if (t.FFiles.OutputCount() == 0) throw FFmpegException("At least one output file must be specified");
    });
    Add(m, {"vlang", "alang", "slang"}, [](T& t, S n, S v) { t.FState.Languages[KindOfOption(n)] = v; });
    Add(m, {"qphist"}, [](T& t, S, S v) { t.FState.QpHist = OptionBool(v); });
    Add(m, {"force_fps"}, [](T& t, S, S v) { t.FState.ForceFps = OptionBool(v); });
    Add(m, {"streamid"}, [](T& t, S n, S v) {
      const TStreamId id = ParseStreamId(n, v);
      auto& map = t.FState.StreamIdMap;
      if (map.size() <= static_cast<size_t>(id.Index)) map.resize(id.Index + 1, 0);
      map[id.Index] = id.Value;
    });
    Add(m, {"force_key_frames"}, [](T& t, S, S v) { t.FState.ForcedKeyFrames = v; });
    Add(m, {"aframes"}, [](T& t, S, S v) { t.FState.MaxFrames[TStreamKind::Audio] = StrToInt(v); });
    Add(m, {"aq"}, [](T& t, S, S v) { t.FState.AudioQScale = static_cast<float>(StrToFloat(v)); });
    Add(m, {"ar"}, [](T& t, S, S v) {
      const int32_t rate = StrToInt(v);
      if (rate > 0) t.FState.AudioSampleRate = rate;
    });
    Add(m, {"ac"}, [](T& t, S, S v) {
      const int32_t channels = StrToInt(v);
      if (channels > 0) t.FState.AudioChannels = channels;
    });
    Add(m, {"vol"}, [](T& t, S, S v) { t.FState.AudioVolume = StrToInt(v); });
    Add(m, {"sample_fmt"}, [](T& t, S, S v) {
      if (v == "list") {
        LogTable(t, -1, AV_SAMPLE_FMT_NB - 1, [](char* buffer, int size, int index) {
          return ff::av_get_sample_fmt_string(buffer, size, static_cast<AVSampleFormat>(index));
        });
        return;
      }
      const AVSampleFormat format = ff::av_get_sample_fmt(v.c_str());
      if (format == AV_SAMPLE_FMT_NONE)
        throw FFmpegException(Format("Invalid sample format \"%s\"", v.c_str()));
      t.FState.AudioSampleFmt = format;
    });
    Add(m, {"vc"}, [](T& t, S, S v) { t.FState.VideoChannel = StrToInt(v); });
    Add(m, {"tvstd"}, [](T& t, S, S v) { t.FState.VideoStandard = v; });
    Add(m, {"isync"}, [](T& t, S, S v) { t.FState.InputSync = OptionBool(v); });
    Add(m, {"muxdelay"}, [](T& t, S, S v) { t.FState.MuxMaxDelay = static_cast<float>(StrToFloat(v)); });
    Add(m, {"muxpreload"},
        [](T& t, S, S v) { t.FState.MuxPreload = static_cast<float>(StrToFloat(v)); });
    Add(m, {"absf", "vbsf", "sbsf"}, [](T& t, S n, S v) { t.AddBitstreamFilter(n, v); });
    Add(m, {"apre", "vpre", "spre", "fpre"}, [](T& t, S n, S v) { t.ApplyPreset(n, v); });
    return m;
  }();
  return table;
}

void TTaskOptions::Parse(const std::string& name, const std::string& value) {
  const THandlers& table = Handlers();
  const auto handler = table.find(name);
  if (handler != table.end())
    handler->second(*this, name, value);
  else
    SetGenericOrRaise(name, value);
}

}  // namespace vidorant
