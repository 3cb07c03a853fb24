// ParseOption: the vocabulary of a task's options. Every name maps to one handler; a name that
// is none of them goes to the OptionContext as a generic codec, format or scaler option.
// Invariant: a handler validates its whole value before it changes any state.
#include "engine/core/FFmpeg.h"

#include "engine/core/FFmpegException.h"
#include "engine/core/OptionValues.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFLog.h"
#include "platform/Format.h"

#include <unordered_map>

extern "C" {
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

namespace vidorant {

struct TOptionDispatcher {
  using THandler = void (*)(TCustomFFmpeg& task, const std::string& name, const std::string& value);
  using TTable = std::unordered_map<std::string, THandler>;

  static void Add(TTable& table, std::initializer_list<const char*> names, THandler handler) {
    for (const char* name : names) table.emplace(name, handler);
  }

  static void LogTable(TCustomFFmpeg& t, int first, int last,
                       char* (*describe)(char* buffer, int size, int index)) {
    char line[512];
    for (int i = first; i <= last; ++i) t.Log(llInfo, Trim(describe(line, sizeof line, i)));
  }

  static const TTable& Table();
};

const TOptionDispatcher::TTable& TOptionDispatcher::Table() {
  static const TTable table = [] {
    TTable m;
    using T = TCustomFFmpeg;
    using S = const std::string&;
    auto doNothing = [](T& t, S name, S) { t.Log(llInfo, "Do nothing: option - " + name); };
    Add(m, {"L", "h", "version", "formats", "codecs", "bsfs", "protocols", "filters", "i", "y",
            "benchmark"},
        doNothing);
    Add(m, {"loglevel"}, [](T&, S, S v) { FFLogger()->SetLogLevelByName(v); });
    Add(m, {"f"}, [](T& t, S, S v) {
      if (!v.empty()) t.FOpt.FormatName = v;
    });
    Add(m, {"map"}, [](T& t, S, S v) { t.FOpt.StreamMaps.push_back(ParseStreamMap(v)); });
    Add(m, {"map_meta_data"}, [](T& t, S, S v) {
      const TMetaDataMap map = ParseMetaDataMap(v);
      auto either = [&](char type) { return map.Out.Type == type || map.In.Type == type; };
      if (either('g')) t.FOpt.MetadataGlobalAutoCopy = false;
      if (either('s')) t.FOpt.MetadataStreamsAutoCopy = false;
      if (either('c')) t.FOpt.MetadataChaptersAutoCopy = false;
      t.FOpt.MetaDataMaps.push_back(map);
    });
    Add(m, {"map_chapters"}, [](T& t, S, S v) { t.FOpt.ChapterMaps.push_back(ParseChapterMap(v)); });
    Add(m, {"t"}, [](T& t, S n, S v) {
      const int64_t us = t.ParseTime(n, v, false);
      t.FOpt.RecordingTime = us;
      t.ExpectedDuration = us;
    });
    Add(m, {"fs"}, [](T& t, S, S v) { t.FOpt.LimitFileSize = StrToInt64(v); });
    Add(m, {"ss"}, [](T& t, S n, S v) { t.FOpt.StartTime = t.ParseTime(n, v, false); });
    Add(m, {"itsoffset"}, [](T& t, S n, S v) { t.FOpt.InputTsOffset = t.ParseTime(n, v, false); });
    Add(m, {"itsscale"}, [](T& t, S, S v) {
      constexpr int maxStreams = 20;
      const char* p = v.c_str();
      char* end = nullptr;
      const long stream = std::strtol(p, &end, 0);
      if (stream >= maxStreams || stream < 0)
        throw FFmpegException(Format("stream index over MAX_STREAMS(%d)", maxStreams));
      const double scale = std::strtod(*end ? end + 1 : end, nullptr);
      auto& scales = t.FOpt.TsScales;
      if (scales.size() <= t.FInputFiles.size()) scales.resize(t.FInputFiles.size() + 1);
      auto& mine = scales[t.FInputFiles.size()];
      if (mine.size() <= static_cast<size_t>(stream)) mine.resize(stream + 1, 0.0);
      mine[stream] = scale;
    });
    Add(m, {"timestamp"}, [](T& t, S n, S v) {
      const int64_t us = t.ParseTime(n, v, true);
      t.FOpt.RecordingTimestamp = (us + (us >= 0 ? 500000 : -500000)) / 1000000;
    });
    Add(m, {"metadata"}, [](T& t, S, S v) {
      const size_t eq = v.find('=');
      if (eq == std::string::npos) throw FFmpegException("Missing =");
      if (eq == 0) throw FFmpegException("wrong parameter of metadata");
      t.FOpt.PendingMetadata.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    });
    Add(m, {"dframes"}, [](T& t, S, S v) { t.FOpt.MaxFrames[skData] = StrToInt(v); });
    Add(m, {"timelimit"},
        [](T& t, S, S) { t.Log(llWarning, "Warning: -timelimit not implemented on Windows"); });
    Add(m, {"dump"}, [](T& t, S, S v) { t.FOpt.DoPktDump = OptionBool(v); });
    Add(m, {"hex"}, [](T& t, S, S v) { t.FOpt.DoHexDump = OptionBool(v); });
    Add(m, {"re"}, [](T& t, S, S v) { t.FOpt.RateEmu = OptionBool(v); });
    Add(m, {"loop_input"}, [](T& t, S, S v) { t.FOpt.LoopInput = OptionBool(v); });
    Add(m, {"loop_output"}, [](T& t, S, S v) { t.FOpt.LoopOutput = StrToInt(v); });
    Add(m, {"v"}, [](T& t, S, S v) { t.FOpt.Verbose = StrToInt(v); });
    Add(m, {"target"}, [](T& t, S, S v) { t.ApplyTarget(v); });
    Add(m, {"threads"}, [](T& t, S, S v) {
      t.FOpt.ThreadCount = StrToInt(v);
      if (t.FOpt.Verbose >= 0)
        t.Log(llVerbose,
              "Warning: if the ffmpeg libraries were not compiled with thread support, it would "
              "be using thread emulation.");
    });
    Add(m, {"vsync"}, [](T& t, S, S v) { t.FOpt.VideoSyncMethod = StrToInt(v); });
    Add(m, {"async"}, [](T& t, S, S v) { t.FOpt.AudioSyncMethod = StrToInt(v); });
    Add(m, {"adrift_threshold"},
        [](T& t, S, S v) { t.FOpt.AudioDriftThreshold = static_cast<float>(StrToFloat(v)); });
    Add(m, {"vglobal"}, [](T& t, S, S v) { t.FOpt.VideoGlobalHeader = StrToInt(v); });
    Add(m, {"copyts"}, [](T& t, S, S v) { t.FOpt.CopyTs = OptionBool(v); });
    Add(m, {"copytb"}, [](T& t, S, S v) { t.FOpt.CopyTb = OptionBool(v); });
    Add(m, {"shortest"}, [](T& t, S, S v) { t.FOpt.OptShortest = OptionBool(v); });
    Add(m, {"dts_delta_threshold"},
        [](T& t, S, S v) { t.FOpt.DtsDeltaThreshold = static_cast<float>(StrToFloat(v)); });
    Add(m, {"programid"}, [](T& t, S, S v) { t.FOpt.ProgramId = StrToInt(v); });
    Add(m, {"xerror"}, [](T& t, S, S v) { t.FOpt.ExitOnError = OptionBool(v); });
    Add(m, {"copyinkf"}, [](T& t, S, S v) { t.FOpt.CopyInitialNonKeyFrames = StrToInt(v); });
    Add(m, {"b", "vb", "ab"}, [](T& t, S n, S v) { t.SetBitRate(n, v); });
    Add(m, {"vframes"}, [](T& t, S, S v) { t.FOpt.MaxFrames[skVideo] = StrToInt(v); });
    Add(m, {"r"}, [](T& t, S, S v) {
      AVRational rate{0, 0};
      if (ff::av_parse_video_rate(&rate, v.c_str()) < 0) throw FFmpegException("Incorrect frame rate");
      t.FOpt.FrameRateNum = rate.num;
      t.FOpt.FrameRateDen = rate.den;
    });
    Add(m, {"s"}, [](T& t, S, S v) {
      int width = 0, height = 0;
      if (ff::av_parse_video_size(&width, &height, v.c_str()) < 0)
        throw FFmpegException("Incorrect frame size");
      t.FOpt.FrameWidth = width;
      t.FOpt.FrameHeight = height;
    });
    Add(m, {"aspect"}, [](T& t, S, S v) { t.FOpt.FrameAspectRatio = ParseAspectRatio(v); });
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
      t.FOpt.FramePixFmt = format;
    });
    Add(m, {"croptop", "cropbottom", "cropleft", "cropright"},
        [](T&, S, S) { throw FFmpegException("Removed, use the crop filter instead"); });
    Add(m, {"padtop", "padbottom", "padleft", "padright", "padcolor"},
        [](T&, S, S) { throw FFmpegException("Removed, use the pad filter instead"); });
    Add(m, {"intra"}, [](T& t, S, S v) { t.FOpt.IntraOnly = OptionBool(v); });
    Add(m, {"vn"}, [](T& t, S, S v) { t.FOpt.VideoDisable = OptionBool(v); });
    Add(m, {"vdt"}, [](T& t, S, S v) { t.FOpt.VideoDiscard = StrToInt(v); });
    Add(m, {"qscale"}, [](T& t, S, S v) {
      const double q = StrToFloat(v);
      if (!(q > 0 && q <= 255)) throw FFmpegException("qscale must be > 0.0 and <= 255");
      t.FOpt.VideoQScale = static_cast<float>(q);
    });
    Add(m, {"rc_override"}, [](T& t, S, S v) { t.FOpt.RcOverride = v; });
    Add(m, {"vcodec"}, [](T& t, S, S v) { t.SetCodecName(skVideo, v); });
    Add(m, {"acodec"}, [](T& t, S, S v) { t.SetCodecName(skAudio, v); });
    Add(m, {"scodec"}, [](T& t, S, S v) { t.SetCodecName(skSubtitle, v); });
    Add(m, {"me_threshold"}, [](T& t, S, S v) { t.FOpt.MeThreshold = StrToInt(v); });
    Add(m, {"sameq"}, [](T& t, S, S v) { t.FOpt.SameQuality = OptionBool(v); });
    Add(m, {"pass"}, [](T& t, S, S v) {
      const int32_t pass = StrToInt(v);
      if (pass != 1 && pass != 2) throw FFmpegException("pass number can be only 1 or 2");
      t.FOpt.DoPass = pass;
    });
    Add(m, {"passlogfile"}, [](T& t, S, S v) { t.FOpt.PassLogFileName = v; });
    Add(m, {"deinterlace"}, [](T& t, S, S v) { t.FOpt.DoDeinterlace = OptionBool(v); });
    Add(m, {"psnr"}, [](T& t, S, S v) { t.FOpt.DoPSNR = OptionBool(v); });
    Add(m, {"vstats"}, [](T& t, S, S v) {
      t.FOpt.VStatsFileName.reset();
      if (OptionBool(v)) t.FOpt.VStatsFileName = T::DefaultVStatsFileName();
    });
    Add(m, {"vstats_file"}, [](T& t, S, S v) { t.FOpt.VStatsFileName = v; });
    Add(m, {"vhook"}, [](T& t, S, S v) { t.AddFrameHookOption(v); });
    Add(m, {"vfilters", "vf"}, [](T& t, S, S v) {
      if (!v.empty()) t.FOpt.VideoFilters = v;
    });
    Add(m, {"intra_matrix"},
        [](T& t, S, S v) { t.FOpt.IntraMatrix = std::make_unique<TQuantMatrix>(ParseMatrix(v)); });
    Add(m, {"inter_matrix"},
        [](T& t, S, S v) { t.FOpt.InterMatrix = std::make_unique<TQuantMatrix>(ParseMatrix(v)); });
    Add(m, {"top"}, [](T& t, S, S v) { t.FOpt.TopFieldFirst = StrToInt(v); });
    Add(m, {"dc"}, [](T& t, S, S v) { t.FOpt.IntraDcPrecision = StrToInt(v); });
    Add(m, {"vtag", "atag", "stag"}, [](T& t, S n, S v) {
      if (v.empty()) return;
      const uint32_t tag = ParseCodecTag(v);
      (n[0] == 'v' ? t.FOpt.VideoCodecTag : n[0] == 'a' ? t.FOpt.AudioCodecTag
                                                         : t.FOpt.SubtitleCodecTag) = tag;
    });
    Add(m, {"newvideo", "newaudio", "newsubtitle"}, [](T& t, S, S) {
      if (t.FOutputCount == 0) throw FFmpegException("At least one output file must be specified");
    });
    Add(m, {"vlang"}, [](T& t, S, S v) { t.FOpt.VideoLanguage = v; });
    Add(m, {"alang"}, [](T& t, S, S v) { t.FOpt.AudioLanguage = v; });
    Add(m, {"slang"}, [](T& t, S, S v) { t.FOpt.SubtitleLanguage = v; });
    Add(m, {"qphist"}, [](T& t, S, S v) { t.FOpt.QpHist = OptionBool(v); });
    Add(m, {"force_fps"}, [](T& t, S, S v) { t.FOpt.ForceFps = OptionBool(v); });
    Add(m, {"streamid"}, [](T& t, S n, S v) {
      const TStreamId id = ParseStreamId(n, v);
      auto& map = t.FOpt.StreamIdMap;
      if (map.size() <= static_cast<size_t>(id.Index)) map.resize(id.Index + 1, 0);
      map[id.Index] = id.Value;
    });
    Add(m, {"force_key_frames"}, [](T& t, S, S v) { t.FOpt.ForcedKeyFrames = v; });
    Add(m, {"aframes"}, [](T& t, S, S v) { t.FOpt.MaxFrames[skAudio] = StrToInt(v); });
    Add(m, {"aq"}, [](T& t, S, S v) { t.FOpt.AudioQScale = static_cast<float>(StrToFloat(v)); });
    Add(m, {"ar"}, [](T& t, S, S v) {
      const int32_t rate = StrToInt(v);
      if (rate > 0) t.FOpt.AudioSampleRate = rate;
    });
    Add(m, {"ac"}, [](T& t, S, S v) {
      const int32_t channels = StrToInt(v);
      if (channels > 0) t.FOpt.AudioChannels = channels;
    });
    Add(m, {"an"}, [](T& t, S, S v) { t.FOpt.AudioDisable = OptionBool(v); });
    Add(m, {"vol"}, [](T& t, S, S v) { t.FOpt.AudioVolume = StrToInt(v); });
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
      t.FOpt.AudioSampleFmt = format;
    });
    Add(m, {"sn"}, [](T& t, S, S v) { t.FOpt.SubtitleDisable = OptionBool(v); });
    Add(m, {"vc"}, [](T& t, S, S v) { t.FOpt.VideoChannel = StrToInt(v); });
    Add(m, {"tvstd"}, [](T& t, S, S v) { t.FOpt.VideoStandard = v; });
    Add(m, {"isync"}, [](T& t, S, S v) { t.FOpt.InputSync = OptionBool(v); });
    Add(m, {"muxdelay"}, [](T& t, S, S v) { t.FOpt.MuxMaxDelay = static_cast<float>(StrToFloat(v)); });
    Add(m, {"muxpreload"},
        [](T& t, S, S v) { t.FOpt.MuxPreload = static_cast<float>(StrToFloat(v)); });
    Add(m, {"absf", "vbsf", "sbsf"}, [](T& t, S n, S v) { t.AddBitstreamFilter(n, v); });
    Add(m, {"apre", "vpre", "spre", "fpre"}, [](T& t, S n, S v) { t.ApplyPreset(n, v); });
    return m;
  }();
  return table;
}

void TCustomFFmpeg::ParseOption(const std::string& name, const std::string& value) {
  const auto& table = TOptionDispatcher::Table();
  const auto handler = table.find(name);
  if (handler != table.end())
    handler->second(*this, name, value);
  else
    SetGenericOrRaise(name, value);
}

}  // namespace vidorant
