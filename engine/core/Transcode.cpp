// One run of a task's transcode (Transcode.h): its set-up, the loop over the inputs' packets, the
// end of the run and the progress reports.
#include "engine/core/Transcode.h"

#include "engine/core/FFmpegException.h"
#include "engine/core/InputSelection.h"
#include "engine/core/InputSet.h"
#include "engine/core/OutputSet.h"
#include "engine/core/PacketTiming.h"
#include "engine/core/ProgressReport.h"
#include "engine/core/StreamMapping.h"
#include "engine/core/TaskOptions.h"
#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFUtils.h"
#include "engine/runtime/IOTimeout.h"
#include "platform/Format.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

extern "C" {
#include <libavformat/avformat.h>
}

namespace vidorant {
namespace {

// How long the loop waits when every input said "no packet now".
constexpr std::chrono::milliseconds NoPacketWait{10};

bool InProgram(const AVFormatContext* context, int streamIndex, int32_t programId) {
  for (unsigned p = 0; p < context->nb_programs; p++) {
    const AVProgram* program = context->programs[p];
    if (program->id != programId) continue;
    for (unsigned i = 0; i < program->nb_stream_indexes; i++)
      if (static_cast<int>(program->stream_index[i]) == streamIndex) return true;
  }
  return false;
}

}  // namespace

TTranscode::TTranscode(TTranscodeEnv env)
    : FEnv(env), FPreview(env.PreviewInterval), FDecoded(ff::av_frame_alloc()), FPacket(ff::av_packet_alloc()) {
  if (!FDecoded || !FPacket) throw FFmpegException("av_mallocz fail");
}

TTranscode::~TTranscode() = default;

void TTranscode::Run() {
  BuildInputStreams();
  FOutputStreams = CollectOutputStreams();
  Map();
  FEnv.Outputs->Prepare(FStreams, *FEnv.Inputs, *FEnv.Options, DecodedFrameUsers(), *FEnv.Codecs, FCounters);
  StartTimestamps();
  LogMapping();

  FPreview.EventMode = FEnv.PreviewEvent && FEnv.OnPreviewBitmap && *FEnv.OnPreviewBitmap;
  FPreview.PreviewerMode = FEnv.Previewer;
  if (FPreview.EventMode) {
    TPreviewBitmapEvent* event = FEnv.OnPreviewBitmap;
    TObject* sender = FEnv.Sender;
    FPreview.OnPreviewBitmap = [event, sender](const TBitmap& bitmap, int32_t frameNumber, int64_t timestamp) {
      if (*event) (*event)(sender, bitmap, frameNumber, timestamp);
    };
  }
  TVideoPathEnv video;
  video.Sender = FEnv.Sender;
  video.Options = &FEnv.Options->State();
  video.StopRequested = FEnv.StopRequested;
  video.OnVideoInputHook = FEnv.OnVideoInputHook;
  video.OnVideoOutputHook = FEnv.OnVideoOutputHook;
  video.FrameHooks = &FEnv.Options->FrameHooks();
  video.FrameHooksActive = FEnv.Options->FrameHooksActive();
  video.Preview = (FPreview.EventMode || FPreview.PreviewerMode) ? &FPreview : nullptr;
  FConverter.SetBitsPixel(FEnv.HookBitsPixel);
  FPreviewConverter.SetBitsPixel(FEnv.HookBitsPixel);
  video.Converter = &FConverter;
  video.PreviewConverter = &FPreviewConverter;
  video.Counters = &FCounters;
  video.InputStreams = &FStreams;
  TOutputSet* files = FEnv.Outputs;
  video.VariableFrameRate = [files](const TOutputStream& stream) {
    return DeclaresVariableFrameRate(files->File(stream.File));
  };
  const bool exitOnError = FEnv.Options->State().ExitOnError;
  TOutputSet* outputs = FEnv.Outputs;
  video.Write = [outputs, exitOnError](TOutputStream& stream, AVPacket& packet) {
    outputs->WritePacket(stream, packet, exitOnError);
  };
  video.Log = [this](TLogLevel level, const std::string& text) { Log(level, text); };
  const auto write = video.Write;
  const auto log = video.Log;
  FVideo = std::make_unique<TVideoPath>(std::move(video));
  TAudioPathEnv audio;
  audio.Sender = FEnv.Sender;
  audio.Options = &FEnv.Options->State();
  audio.OnAudioHook = FEnv.OnAudioHook;
  audio.Counters = &FCounters;
  audio.InputStreams = &FStreams;
  audio.Write = write;
  audio.Log = log;
  FAudio = std::make_unique<TAudioPath>(std::move(audio));
  FSubtitles = std::make_unique<TSubtitleEncoding>(write, &FCounters);

  FTimerStart = FLastReport = ff::av_gettime_relative();
  Loop();
  Finish();
}

void TTranscode::BuildInputStreams() {
  TInputSet& inputs = *FEnv.Inputs;
  std::vector<TInputStreamCodec>& codecs = inputs.StreamCodecs();
  const int64_t now = ff::av_gettime_relative();
  int flat = 0;
  for (int f = 0; f < inputs.Count(); f++) {
    AVFormatContext* context = inputs.File(f).Context.get();
    TFileState file;
    file.FirstStream = flat;
    file.StreamCount = static_cast<int>(context->nb_streams);
    FFiles.push_back(file);
    for (unsigned s = 0; s < context->nb_streams; s++, flat++) {
      TInputStreamState stream;
      stream.File = f;
      stream.Index = static_cast<int>(s);
      stream.Stream = context->streams[s];
      stream.Decoder = codecs.at(flat).Context.get();
      stream.DecoderCodec = codecs.at(flat).Decoder ? codecs.at(flat).Decoder
                                                     : ff::avcodec_find_decoder(stream.Stream->codecpar->codec_id);
      if (FEnv.Options->State().RateEmu) stream.WallClockStart = now;
      FStreams.push_back(stream);
    }
  }
}

void TTranscode::Map() {
  const TOptionState& opt = FEnv.Options->State();
  std::vector<TMappableInput> inputs;
  for (const TInputStreamState& stream : FStreams) {
    const AVStream* st = stream.Stream;
    TMappableInput in;
    in.File = stream.File;
    in.Stream = stream.Index;
    const std::optional<TStreamKind> kind = StreamKindOf(st->codecpar->codec_type);
    in.Kind = kind.value_or(TStreamKind::Data);
    // Attachments feed no output.
    in.DiscardedEntirely = st->discard == AVDISCARD_ALL || !kind;
    in.SeenWhileProbing = (st->event_flags & AVSTREAM_EVENT_FLAG_NEW_PACKETS) != 0;
    in.FrameCount = st->nb_frames;
    in.InProgram = opt.ProgramId == 0 || InProgram(FEnv.Inputs->File(stream.File).Context.get(), stream.Index, opt.ProgramId);
    inputs.push_back(in);
  }
  std::vector<TMappableOutput> outputs;
  for (const TOutputStream* stream : FOutputStreams)
    outputs.push_back({stream->File, stream->Index, stream->Kind, FEnv.Outputs->InputServed(stream)});
  TMappingRules rules;
  rules.ProgramSelected = opt.ProgramId != 0;
  rules.Joining = FEnv.Outputs->Joining();
  const std::vector<TStreamSource> sources =
      MapStreams(inputs, FEnv.Outputs->Count(), outputs, opt.StreamMaps, rules);
  for (size_t i = 0; i < sources.size(); i++) {
    FOutputStreams[i]->Source = sources[i].Source;
    FOutputStreams[i]->Sync = sources[i].Sync;
    FStreams[sources[i].Source].Discard = false;
  }
}

void TTranscode::LogMapping() const {
  if (FEnv.Options->State().Verbose < 0) return;
  Log(llVerbose, "Stream mapping:");
  for (const TOutputStream* out : FOutputStreams) {
    const TInputStreamState& source = FStreams[out->Source];
    const TInputStreamState& sync = FStreams[out->Sync];
    const std::string kind = MediaTypeName(static_cast<int>(out->Kind));
    std::string line = Format("  Stream #%d.%d -> #%d.%d (%s)", source.File, source.Index, out->File, out->Index,
                              kind.c_str());
    if (out->Sync != out->Source)
      line += Format(" [sync #%d.%d (%s)]", sync.File, sync.Index,
                     MediaTypeName(static_cast<int>(sync.Stream->codecpar->codec_type)).c_str());
    Log(llVerbose, line);
  }
}

void TTranscode::StartTimestamps() {
  for (TInputStreamState& stream : FStreams) {
    const AVRational rate = stream.Stream->avg_frame_rate;
    // Pictures a decoder holds back come out one delay late; starting that far below zero keeps
    // the first picture at the stream's own start.
    const int delay = stream.Decoder ? stream.Decoder->has_b_frames : 0;
    stream.Pts = rate.num > 0 && rate.den > 0 ? -std::llround(delay * 1000000.0 * rate.den / rate.num) : 0;
    stream.NextPts = NoValue;
  }
}

TDecodedFrameUsers TTranscode::DecodedFrameUsers() const {
  TDecodedFrameUsers users;
  users.VideoOutputHook = FEnv.OnVideoOutputHook && *FEnv.OnVideoOutputHook;
  users.Preview = FEnv.Previewer || (FEnv.PreviewEvent && FEnv.OnPreviewBitmap && *FEnv.OnPreviewBitmap);
  users.FrameHooks = FEnv.Options->FrameHooksActive();
  users.AudioHook = FEnv.OnAudioHook && *FEnv.OnAudioHook;
  return users;
}

void TTranscode::Loop() {
  while (!StopRequested()) {
    const std::optional<int> file = SelectInput();
    if (!file) {
      const bool waiting = std::any_of(FFiles.begin(), FFiles.end(), [](const TFileState& f) { return f.NoPacketNow; });
      if (FEnv.Outputs->Joining() || !waiting) break;
      for (TFileState& f : FFiles) f.NoPacketNow = false;
      std::this_thread::sleep_for(NoPacketWait);
      continue;
    }
    const int64_t limit = FEnv.Options->State().LimitFileSize;
    if (limit > 0 && FEnv.Outputs->FirstOutputSize() >= limit) break;
    const TReadResult result = ReadAndProcess(*file);
    if (result == TReadResult::End) break;
    if (result == TReadResult::NoReport) continue;
    const int64_t now = ff::av_gettime_relative();
    if (now - FLastReport > FEnv.ProgressInterval) {
      FLastReport = now;
      Report(false);
    }
  }
}

std::optional<int> TTranscode::SelectInput() const {
  const TOptionState& opt = FEnv.Options->State();
  std::vector<TSelectableOutput> outputs;
  for (const TOutputStream* out : FOutputStreams) {
    const TInputStreamState& source = FStreams[out->Source];
    TSelectableOutput selectable;
    selectable.InputFile = source.File;
    selectable.InputTimestamp = static_cast<double>(source.Pts);
    selectable.PresentationTime = PresentationTime(*out);
    selectable.PastRecordingTime = source.PastRecordingTime;
    selectable.FrameNumber = out->FrameNumber;
    selectable.MaxFrames = opt.MaxFrames[out->Kind];
    outputs.push_back(selectable);
  }
  std::vector<TSelectableInput> inputs;
  for (const TFileState& f : FFiles) inputs.push_back({f.AtEnd, f.NoPacketNow});
  return SelectInputFile(outputs, inputs, opt.InputSync,
                         FEnv.Outputs->Joining() ? std::optional<int>(FCurrentFile) : std::nullopt);
}

TTranscode::TReadResult TTranscode::ReadAndProcess(int file) {
  const TOptionState& opt = FEnv.Options->State();
  TInputFile& input = FEnv.Inputs->File(file);
  AVFormatContext* context = input.Context.get();
  FCurrentFile = file;
  AVPacket* packet = FPacket.get();
  int ret;
  {
    TIOTimeoutScope interruptible(*FEnv.IOTimeout);
    ret = ff::av_read_frame(context, packet);
  }
  if (ret == AVERROR(EAGAIN)) {
    FFiles[file].NoPacketNow = true;
    return TReadResult::NoReport;
  }
  if (ret < 0) {
    FFiles[file].AtEnd = true;
    // A read ended by a stop is no end of the input: the loop ends without playing the next.
    if (FEnv.Outputs->Joining()) return StopRequested() ? TReadResult::End : NextJoinedInput(file);
    return opt.OptShortest ? TReadResult::End : TReadResult::NoReport;
  }
  for (TFileState& f : FFiles) f.NoPacketNow = false;
  struct TUnref {
    AVPacket* Packet;
    ~TUnref() { ff::av_packet_unref(Packet); }
  } unref{packet};

  if (opt.DoPktDump && packet->stream_index < static_cast<int>(context->nb_streams))
    ff::av_pkt_dump_log2(nullptr, AV_LOG_DEBUG, packet, opt.DoHexDump, context->streams[packet->stream_index]);
  if (packet->stream_index >= FFiles[file].StreamCount) return TReadResult::Report;
  const int index = FFiles[file].FirstStream + packet->stream_index;
  TInputStreamState& stream = FStreams[index];
  if (stream.Discard) return TReadResult::Report;

  TPacketTimes times{packet->pts, packet->dts};
  TPacketTimingState timing;
  timing.TimeBase = stream.Stream->time_base;
  timing.FileOffset = &input.TsOffset;
  timing.Scale = static_cast<size_t>(stream.Index) < input.TsScales.size() ? input.TsScales[stream.Index] : 0;
  timing.MayJump = context->iformat && (context->iformat->flags & AVFMT_TS_DISCONT);
  timing.NextExpected = stream.NextPts;
  timing.Current = stream.Pts;
  timing.JumpThreshold = opt.DtsDeltaThreshold;
  timing.CopyTs = opt.CopyTs;
  const int64_t jump = AdjustPacketTimes(times, timing);
  if (jump != 0 && opt.Verbose > 2)
    Log(llVerbose, Format("timestamp discontinuity %lld, new offset= %lld", static_cast<long long>(jump),
                          static_cast<long long>(input.TsOffset)));
  packet->pts = times.Pts;
  packet->dts = times.Dts;
  if (PastClipEnd(times, stream.Stream->time_base, opt.StartTime, opt.RecordingTime)) {
    stream.PastRecordingTime = true;
    return TReadResult::Report;
  }
  if (!OutputPacket(index, packet)) {
    const std::string text =
        Format("Error while decoding stream #%d.%d (%s)", stream.File, stream.Index,
               MediaTypeName(static_cast<int>(stream.Stream->codecpar->codec_type)).c_str());
    if (opt.ExitOnError) throw FFmpegException(text);
    if (opt.Verbose >= 0) Log(llVerbose, text);
    return TReadResult::NoReport;
  }
  return TReadResult::Report;
}

void TTranscode::Finish() {
  // Joined inputs that never played have nothing to drain, and their encoders were never opened.
  const bool joining = FEnv.Outputs->Joining();
  for (size_t i = 0; i < FStreams.size(); i++)
    if (FStreams[i].DecodingNeeded && !FStreams[i].Flushed && !(joining && FStreams[i].File > FCurrentFile))
      OutputPacket(static_cast<int>(i), nullptr);
  FEnv.Outputs->WriteTrailers();
  Report(true);
  FEnv.Codecs->CloseAll();
}

std::vector<TOutputStream*> TTranscode::PlayingStreams() const {
  return FEnv.Outputs->Joining() ? FEnv.Outputs->JoinedSet(FCurrentFile) : FOutputStreams;
}

double TTranscode::PresentationTime(const TOutputStream& output) const {
  // An encoding video stream is where its timeline says, even while its encoder holds pictures.
  if (output.Kind == TStreamKind::Video && output.EncodingNeeded && output.Encoder)
    return static_cast<double>(output.RateSync.SyncTimestamp()) * av_q2d(output.Encoder->time_base);
  if (output.LastPts == NoValue || !output.Stream) return 0;
  return static_cast<double>(output.LastPts) * av_q2d(output.Stream->time_base);
}

void TTranscode::Report(bool final) {
  const TOptionState& opt = FEnv.Options->State();
  const bool progressAssigned = FEnv.OnProgress && *FEnv.OnProgress;
  if (!progressAssigned && opt.Verbose <= 0 && !final) return;
  TProgressCounts counts;
  double smallest = 0;
  bool changed = false;
  const std::vector<TOutputStream*> playing = PlayingStreams();
  for (TOutputStream* out : playing) {
    if (out->Kind == TStreamKind::Video) {
      if (!counts.HasVideoOutput) {
        counts.HasVideoOutput = true;
        counts.FrameNumber = out->FrameNumber;
        counts.LastQuality = out->LastQuality;
        counts.VideoCopied = out->StreamCopy;
      }
      counts.Duplicated += out->RateSync.Duplicated();
      counts.Dropped += out->RateSync.Dropped();
    }
    const double time = PresentationTime(*out);
    if (time > 0 && (smallest == 0 || time < smallest)) smallest = time;
  }
  counts.ElapsedUs = ff::av_gettime_relative() - FTimerStart;
  counts.TotalSize = FEnv.Outputs->FirstOutputSize();
  counts.SmallestTime = smallest;
  const std::optional<TProgressFigures> figures = MakeProgressReport(counts, final);
  if (!figures) return;
  for (TOutputStream* out : playing)
    if (out->RateSync.TakeChanged()) changed = true;
  if (progressAssigned) {
    (*FEnv.OnProgress)(FEnv.Sender, final ? -1 : FCurrentFile, figures->FrameNumber, figures->FPS, figures->Quality,
                       figures->Bitrate, figures->TotalSize, figures->CurrentTime, opt.ExpectedDuration);
    if (changed) Log(llVerbose, figures->Text);
  } else if (opt.Verbose >= 0) {
    Log(llVerbose, figures->Text);
  }
  if (final && opt.Verbose >= 0)
    Log(llVerbose, MuxingOverheadText(FCounters.VideoBytes, FCounters.AudioBytes, FCounters.HeaderBytes,
                                      figures->TotalSize));
}

void TTranscode::Log(TLogLevel level, const std::string& text) const { FEnv.Options->Log(level, text); }

}  // namespace vidorant
