#include "engine/core/AudioPath.h"

#include "engine/core/AudioSync.h"
#include "engine/core/FFmpegException.h"
#include "engine/core/OptionState.h"
#include "engine/runtime/AVUtilStubs.h"
#include "platform/Exception.h"
#include "platform/Format.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vidorant {
namespace {

constexpr int PackedBytes = 2;  // one signed 16-bit sample

const char* SampleFormatName(AVSampleFormat format) {
  const char* name = ff::av_get_sample_fmt_name(format);
  return name ? name : "none";
}

TAudioFormat EncoderFormat(const AVCodecContext* enc) {
  return TAudioFormat{enc->sample_fmt, enc->ch_layout.nb_channels, enc->sample_rate};
}

// The working sizes a buffer of `bytes` needs on its way to the encoder; beyond what one
// allocation may hold the buffer cannot be handled at all.
void CheckBufferSizes(int64_t bytes, const TAudioFormat& decoded, const AVCodecContext* enc) {
  const int64_t outBytes = BytesPerSample(enc->sample_fmt);
  const int64_t channels = enc->ch_layout.nb_channels;
  const int64_t samplesIn = (bytes + PackedBytes * decoded.Channels - 1) / (PackedBytes * decoded.Channels);
  int64_t resampleSize = (samplesIn * enc->sample_rate + decoded.Rate) / decoded.Rate * 2 + 10000;
  resampleSize = std::max<int64_t>(resampleSize, enc->frame_size) * outBytes * channels;
  int64_t outputSize = std::max<int64_t>(int64_t{enc->frame_size} * outBytes * channels, resampleSize);
  if (enc->bits_per_coded_sample > 8 * outBytes) outputSize = outputSize * enc->bits_per_coded_sample / (8 * outBytes);
  if (outputSize + 16384 > INT_MAX) throw FFmpegException("Buffer sizes too large in do_audio_out");
}

}  // namespace

struct TAudioPath::TStreamState {
  TAudioFormat LastSeen;                       // the decoder's output the converters were made for
  std::unique_ptr<TAudioResampler> Resampler;  // rate or channels change (or drift compensation)
  std::unique_ptr<TAudioResampler> Reformat;   // sample format change only
  std::unique_ptr<TAudioEncoding> Encoding;
};

TAudioPath::TAudioPath(TAudioPathEnv env) : FEnv(std::move(env)) {}

TAudioPath::~TAudioPath() = default;

void TAudioPath::Log(TLogLevel level, const std::string& text) const {
  if (FEnv.Log)
    FEnv.Log(level, text);
  else
    FFLogger()->Log(FEnv.Sender, level, text);
}

const TAudioBuffer& TAudioPath::PreProcess(const TInputStreamState& input, const AVFrame& decoded) {
  const auto format = static_cast<AVSampleFormat>(decoded.format);
  const TAudioFormat in{format, decoded.ch_layout.nb_channels, decoded.sample_rate};
  if (in.Channels <= 0 || in.Rate <= 0 || decoded.nb_samples < 0)
    throw FFmpegException(Format("Cannot convert %s sample format to %s sample format", SampleFormatName(format),
                                 SampleFormatName(AV_SAMPLE_FMT_S16)));
  FBuffer.Decoded = in;
  const size_t bytes = static_cast<size_t>(decoded.nb_samples) * in.Channels * PackedBytes;
  FBuffer.Bytes.resize(bytes);
  if (format == AV_SAMPLE_FMT_S16) {
    if (bytes) std::memcpy(FBuffer.Bytes.data(), decoded.extended_data[0], bytes);
  } else if (bytes) {
    std::unique_ptr<TAudioResampler>& toPacked = FToPacked[&input];
    if (!toPacked || toPacked->In() != in) {
      toPacked = TAudioResampler::Create(in, TAudioFormat{AV_SAMPLE_FMT_S16, in.Channels, in.Rate}, false);
      if (!toPacked)
        throw FFmpegException(Format("Cannot convert %s sample format to %s sample format", SampleFormatName(format),
                                     SampleFormatName(AV_SAMPLE_FMT_S16)));
    }
    const int converted = toPacked->Convert(decoded.extended_data, decoded.nb_samples);
    if (converted < 0) throw FFmpegException("av_audio_convert() failed");
    FBuffer.Bytes.resize(static_cast<size_t>(converted) * in.Channels * PackedBytes);
    std::memcpy(FBuffer.Bytes.data(), toPacked->Output()[0], FBuffer.Bytes.size());
  }

  if (FEnv.OnAudioHook && *FEnv.OnAudioHook && !FBuffer.Bytes.empty())
    (*FEnv.OnAudioHook)(FEnv.Sender, FBuffer.Bytes.data(), input.Pts, static_cast<int32_t>(FBuffer.Bytes.size()),
                        in.Rate, in.Channels, AV_SAMPLE_FMT_S16);
  const int volume = FEnv.Options ? FEnv.Options->AudioVolume : TOptionState::UnchangedVolume;
  if (volume != TOptionState::UnchangedVolume) {
    auto* sample = reinterpret_cast<int16_t*>(FBuffer.Bytes.data());
    for (size_t i = 0, n = FBuffer.Bytes.size() / PackedBytes; i < n; ++i)
      sample[i] = static_cast<int16_t>(std::clamp((sample[i] * volume + 128) / 256, -32768, 32767));
  }
  return FBuffer;
}

TAudioPath::TStreamState& TAudioPath::StateOf(TOutputStream& output, const TInputStreamState& input) {
  std::unique_ptr<TStreamState>& state = FStreams[&output];
  if (!state) {
    state = std::make_unique<TStreamState>();
    // What the stream was set up for; a first buffer of another form counts as a change.
    if (const AVCodecContext* dec = input.Decoder)
      state->LastSeen = TAudioFormat{dec->sample_fmt, dec->ch_layout.nb_channels, dec->sample_rate};
    state->Encoding = std::make_unique<TAudioEncoding>(output, FEnv.Write, FEnv.Counters);
  }
  return *state;
}

void TAudioPath::Output(TOutputStream& output, TInputStreamState& input, const TAudioBuffer& buffer) {
  try {
    const AVCodecContext* enc = output.Encoder.get();
    const TAudioFormat& decoded = buffer.Decoded;
    const TAudioFormat target = EncoderFormat(enc);
    CheckBufferSizes(static_cast<int64_t>(buffer.Bytes.size()), decoded, enc);
    TStreamState& state = StateOf(output, input);
    const int method = FEnv.Options ? FEnv.Options->AudioSyncMethod : 0;

    if (decoded != state.LastSeen) {
      Log(llInfo, Format("Input stream #%d.%d frame changed from rate:%d fmt:%s ch:%d to rate:%d fmt:%s ch:%d",
                         input.File, input.Index, state.LastSeen.Rate, SampleFormatName(state.LastSeen.Format),
                         state.LastSeen.Channels, decoded.Rate, SampleFormatName(decoded.Format), decoded.Channels));
      state.LastSeen = decoded;
      DrainResampler(state);
      state.Resampler.reset();
    }
    // Set up for the rates and the sync method; the channels and a rate that changed later count too.
    bool resample = output.ResampleNeeded || decoded.Channels != target.Channels || decoded.Rate != target.Rate;
    if (resample && !state.Resampler) {
      // Input that now comes as the encoder takes it needs no resampler, unless drift is to be
      // compensated: that takes one.
      if (decoded == target && method <= 1) {
        output.ResampleNeeded = false;
        resample = false;
      } else {
        if (decoded.Format != AV_SAMPLE_FMT_S16)
          Log(llWarning, "Warning, using s16 intermediate sample format for resampling");
        state.Resampler =
            TAudioResampler::Create(TAudioFormat{AV_SAMPLE_FMT_S16, decoded.Channels, decoded.Rate}, target, true);
        if (!state.Resampler)
          throw FFmpegException(Format("Can not resample %d channels @ %d Hz to %d channels @ %d Hz",
                                       decoded.Channels, decoded.Rate, target.Channels, target.Rate));
      }
    }
    if (!resample && target.Format != AV_SAMPLE_FMT_S16) {
      const TAudioFormat from{AV_SAMPLE_FMT_S16, decoded.Channels, decoded.Rate};
      const TAudioFormat to{target.Format, decoded.Channels, decoded.Rate};
      if (!state.Reformat || state.Reformat->In() != from || state.Reformat->Out() != to) {
        state.Reformat = TAudioResampler::Create(from, to, false);
        if (!state.Reformat)
          throw FFmpegException(Format("Cannot convert %s sample format to %s sample format",
                                       SampleFormatName(AV_SAMPLE_FMT_S16), SampleFormatName(target.Format)));
      }
    }

    std::vector<uint8_t> samples = buffer.Bytes;  // this output's own copy: sync may cut or extend it
    if (!Synchronise(output, state, input, decoded, samples)) return;
    Encode(state, samples, decoded.Channels, resample);
  } catch (const std::bad_alloc&) {
    throw FFmpegException("Out of memory in do_audio_out");
  }
}

bool TAudioPath::Synchronise(TOutputStream& output, TStreamState& state, const TInputStreamState& input,
                             const TAudioFormat& format, std::vector<uint8_t>& samples) {
  const TOptionState* opt = FEnv.Options;
  const AVCodecContext* enc = output.Encoder.get();
  const TInputStreamState& sync =
      FEnv.InputStreams && output.Sync >= 0 && output.Sync < static_cast<int>(FEnv.InputStreams->size())
          ? (*FEnv.InputStreams)[output.Sync]
          : input;
  TAudioSyncInput in;
  in.Method = opt ? opt->AudioSyncMethod : 0;
  in.InputTime = static_cast<double>(sync.Pts - (opt ? opt->StartTime : 0)) / 1000000.0;
  in.EncoderRate = enc->sample_rate;
  in.DecoderRate = format.Rate;
  in.SyncTimestamp = state.Encoding->SyncTimestamp();
  in.FifoSamples = state.Encoding->FifoSamples();
  in.AtStart = !FStarted[&input];
  in.DriftThreshold = opt ? opt->AudioDriftThreshold : 0.1;
  const TAudioSyncAction action = DecideAudioSync(in);
  const bool verbose = opt && opt->Verbose > 2;
  const size_t frameBytes = static_cast<size_t>(format.Channels) * PackedBytes;
  switch (action.Kind) {
    case TAudioSyncAction::TKind::SetTimestamp:
      state.Encoding->SetSyncTimestamp(action.Timestamp);
      break;
    case TAudioSyncAction::TKind::Trim: {
      const size_t bytes = std::min(samples.size(), static_cast<size_t>(action.Samples) * frameBytes);
      if (verbose) Log(llVerbose, Format("discarding %d audio samples", static_cast<int>(bytes / frameBytes)));
      samples.erase(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(bytes));
      FStarted[&input] = true;
      if (samples.empty()) return false;
      break;
    }
    case TAudioSyncAction::TKind::Insert:
      if (verbose) Log(llVerbose, Format("adding %d audio samples of silence", static_cast<int>(action.Samples)));
      samples.insert(samples.begin(), static_cast<size_t>(action.Samples) * frameBytes, uint8_t{0});
      FStarted[&input] = true;
      break;
    case TAudioSyncAction::TKind::Compensate: {
      const int compensation = static_cast<int>(action.Samples);
      if (verbose)
        Log(llVerbose, Format("compensating audio timestamp drift:%f compensation:%d in:%d", action.Delta, compensation,
                              enc->sample_rate));
      if (!state.Resampler) AssertionFailed("audio drift compensation without a resampler", "FFmpeg");
      if (!state.Resampler->Compensate(compensation, enc->sample_rate))
        Log(llError, Format("Cannot compensate audio timestamp drift of output stream #%d.%d", output.File,
                            output.Index));
      break;
    }
    case TAudioSyncAction::TKind::None:
      break;
  }
  return true;
}

void TAudioPath::Encode(TStreamState& state, const std::vector<uint8_t>& samples, int channels, bool resample) {
  const uint8_t* packed[1] = {samples.data()};
  const int count = static_cast<int>(samples.size() / (static_cast<size_t>(channels) * PackedBytes));
  TAudioResampler* converter = resample ? state.Resampler.get() : state.Reformat.get();
  if (!converter) {
    state.Encoding->Push(packed, count);
    return;
  }
  const int converted = converter->Convert(packed, count);
  if (converted < 0) {
    if (FEnv.Options && FEnv.Options->ExitOnError) throw FFmpegException("av_audio_convert() failed");
    Log(llError, "av_audio_convert() failed");
    return;
  }
  state.Encoding->Push(converter->Output(), converted);
}

void TAudioPath::Flush(TOutputStream& output) {
  const auto found = FStreams.find(&output);
  if (found == FStreams.end()) return;
  TStreamState& state = *found->second;
  DrainResampler(state);
  state.Encoding->Flush();
}

void TAudioPath::DrainResampler(TStreamState& state) {
  // The resampler's filter holds back its last few samples until told the input ended.
  if (!state.Resampler) return;
  const int held = state.Resampler->Convert(nullptr, 0);
  if (held > 0) state.Encoding->Push(state.Resampler->Output(), held);
}

}  // namespace vidorant
