// The transcode start of the output set (OutputSet.h): each output stream set up as a copy of its
// source or as an encoding (with the scaler or filter graph that brings pictures to the
// encoder), the encoders opened, the decoders their sources need opened, the bitstream filters
// made for the streams' final parameters, and the headers written. Everything the engine cannot
// do yet is refused here with a text that says so, before anything is opened.
#include "engine/core/OutputSet.h"

#include "engine/core/FFmpegException.h"
#include "engine/core/InputSet.h"
#include "engine/core/MetadataMaps.h"
#include "engine/core/RtpDescription.h"
#include "engine/core/SubtitleEncoding.h"
#include "engine/core/TaskOptions.h"
#include "engine/core/TwoPass.h"
#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVErrorText.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "platform/Format.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
}

#include <climits>

namespace vidorant {
namespace {

[[noreturn]] void Fail(const TTaskOptions& options, const std::string& text) {
  options.Log(llError, text);
  throw FFmpegException(text);
}

const char* TypeName(AVMediaType type) {
  const char* name = ff::av_get_media_type_string(type);
  return name ? name : "unknown";
}

std::vector<TMetadataInput> MetadataInputs(const TInputSet& inputSet) {
  std::vector<TMetadataInput> inputs;
  for (int i = 0; i < inputSet.Count(); ++i) inputs.push_back({inputSet.File(i).Context.get(), inputSet.File(i).TsOffset});
  return inputs;
}

void RefuseCopy(const TOutputStream& os, const TOptionState& opt, TDecodedFrameUsers users) {
  if (os.Kind == TStreamKind::Audio) {
    if (opt.AudioVolume != TOptionState::UnchangedVolume)
      throw FFmpegException("-acodec copy and -vol are incompatible (frames are not decoded)");
    if (users.AudioHook) throw FFmpegException("-acodec copy and AudioHook are incompatible (frames are not decoded)");
  } else if (os.Kind == TStreamKind::Video) {
    if (users.VideoOutputHook || users.Preview)
      throw FFmpegException("-vcodec copy and VideoHook are incompatible (frames are not decoded)");
    if (users.FrameHooks) throw FFmpegException("-vcodec copy and -vhook are incompatible (frames are not decoded)");
    if (users.PostHooks) throw FFmpegException("-vcodec copy and PostHooks are incompatible (frames are not decoded)");
  }
}

// True when the container can store the source's codec tag for the codec: it has no tag table,
// the tag means this codec in its table, or its table has no tag of its own for the codec. Any
// other tag would be refused by the muxer (or mislabel the stream), so the muxer picks its own.
bool ContainerKeepsTag(const TOutputFile& file, const AVCodecParameters* source) {
  const AVOutputFormat* format = file.Context->oformat;
  if (file.EngineFormat || !format || !format->codec_tag) return true;
  return ff::av_codec_get_id(format->codec_tag, source->codec_tag) == source->codec_id ||
         ff::av_codec_get_tag(format->codec_tag, source->codec_id) == 0;
}

// The duration of one frame (or sample) of the source, where the source says; 0/1 otherwise.
AVRational SourceFrameTime(const AVStream* st) {
  const AVCodecParameters* par = st->codecpar;
  if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
    const AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) return AVRational{rate.den, rate.num};
  } else if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 0) {
    return AVRational{1, par->sample_rate};
  }
  return AVRational{0, 1};
}

// A copy keeps the source's time base unless that base is finer than a millisecond while the
// source's frames are coarser: then (unless copytb) the frame duration serves as the time base.
AVRational CopyTimeBase(const AVStream* source, bool copyTimeBase) {
  const AVRational base = source->time_base;
  const AVRational frame = SourceFrameTime(source);
  if (copyTimeBase || frame.num == 0 || !(av_q2d(frame) > av_q2d(base) && av_q2d(base) < 1.0 / 1000)) return base;
  AVRational reduced{};
  ff::av_reduce(&reduced.num, &reduced.den, frame.num, frame.den, INT_MAX);
  return reduced;
}

// ownsStream: false for a joined input's record, whose stream already took the first input's.
void SetUpCopy(TOutputStream& os, const TOutputFile& file, const TInputStreamState& ist, const TOptionState& opt,
               TDecodedFrameUsers users, bool ownsStream) {
  RefuseCopy(os, opt, users);
  const AVCodecParameters* source = ist.Stream->codecpar;
  if (static_cast<int64_t>(source->extradata_size) + AV_INPUT_BUFFER_PADDING_SIZE > INT_MAX)
    throw FFmpegException("icodec.extradata_size is invalid (too large)");
  os.EncodingNeeded = false;
  if (!ownsStream) {
    if (ff::avcodec_parameters_to_context(os.Encoder.get(), source) < 0)
      throw FFmpegException("avcodec_parameters_copy failed");
    os.Encoder->time_base = os.Stream->time_base;
    return;
  }
  AVCodecParameters* par = os.Stream->codecpar;
  const uint32_t forcedTag = os.Encoder->codec_tag;
  if (ff::avcodec_parameters_copy(par, source) < 0) throw FFmpegException("avcodec_parameters_copy failed");
  par->codec_tag = forcedTag ? forcedTag : ContainerKeepsTag(file, source) ? source->codec_tag : 0;
  const AVRational timeBase = CopyTimeBase(ist.Stream, opt.CopyTb);
  os.Stream->time_base = timeBase;
  // The record's context carries the copied parameters for the loop, which reads the output's
  // time base and kind from it as from an encoder's.
  if (ff::avcodec_parameters_to_context(os.Encoder.get(), par) < 0) throw FFmpegException("avcodec_parameters_copy failed");
  os.Encoder->time_base = timeBase;
}

// The scaler flags of the generic store's scaler options (sws_flags), else the state's.
TScalerFlags ScalerFlagsOf(const TTaskOptions& options) {
  int64_t value = 0;
  const SwsContext* scaler = options.Generic().ScalerOptions.get();
  if (scaler && ff::av_opt_get_int(const_cast<SwsContext*>(scaler), "sws_flags", 0, &value) >= 0)
    return static_cast<TScalerFlags>(value);
  return options.State().SwsFlags;
}

// The source must be decoded; without a decoder the stream cannot be encoded at all.
void NeedDecoder(const TOutputStream& os, TInputStreamState& ist) {
  if (!ist.Decoder)
    throw FFmpegException(Format("Decoder (codec id %d) not found for input stream #%d.%d (%s)",
                                 ist.Stream->codecpar->codec_id, ist.File, ist.Index,
                                 TypeName(MediaTypeOf(os.Kind))));
  ist.DecodingNeeded = true;
}

void SetUpVideoEncoding(TOutputStream& os, TInputStreamState& ist, const TTaskOptions& options) {
  NeedDecoder(os, ist);
  AVCodecContext* enc = os.Encoder.get();
  const AVCodecContext* dec = ist.Decoder;
  if (enc->pix_fmt == AV_PIX_FMT_NONE) throw FFmpegException("Video pixel format is unknown, stream cannot be encoded");
  os.ResampleNeeded = dec->width != enc->width || dec->height != enc->height || dec->pix_fmt != enc->pix_fmt;
  const std::string& filters = options.State().VideoFilters;
  if (!filters.empty()) {
    const TVideoFilterSetup setup{dec->width, dec->height,  dec->pix_fmt,          enc->width,
                                  enc->height, enc->pix_fmt, ScalerFlagsOf(options), filters};
    TFilterGraphFailure failure;
    os.Filters = TVideoFilterGraph::Open(setup, failure);
    if (!os.Filters) throw FFmpegException(FilterOpeningError(failure.Message));
    // The user's filters may crop or pad: the encoder takes what the graph gives out.
    enc->width = os.Filters->Width();
    enc->height = os.Filters->Height();
  } else if (os.ResampleNeeded) {
    os.Scaler = std::make_unique<TVideoScaler>(enc->width, enc->height, enc->pix_fmt, ScalerFlagsOf(options));
  }
  os.EncodingNeeded = true;
}

void SetUpAudioEncoding(TOutputStream& os, TInputStreamState& ist, const TOptionState& opt) {
  NeedDecoder(os, ist);
  // Drift compensation works through the resampler, so a sync method above 1 always takes one.
  os.ResampleNeeded = ist.Decoder->sample_rate != os.Encoder->sample_rate || opt.AudioSyncMethod > 1;
  // Encoders check the layout against the ones they take: a bare channel count gets the usual
  // layout of that many channels.
  if (os.Encoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    ff::av_channel_layout_default(&os.Encoder->ch_layout, os.Encoder->ch_layout.nb_channels);
  os.EncodingNeeded = true;
}

void SetUpSubtitleEncoding(TOutputStream& os, TInputStreamState& ist) {
  NeedDecoder(os, ist);
  // Subtitles carry their times in µs, as the decoder gives them.
  os.Encoder->time_base = AVRational{1, AV_TIME_BASE};
  os.EncodingNeeded = true;
}

void SetUpEncoding(TOutputStream& os, TInputStreamState& ist, const TTaskOptions& options) {
  switch (os.Kind) {
    case TStreamKind::Video:
      SetUpVideoEncoding(os, ist, options);
      return;
    case TStreamKind::Audio:
      SetUpAudioEncoding(os, ist, options.State());
      return;
    default:
      SetUpSubtitleEncoding(os, ist);
      return;
  }
}

// position: the stream's place among all output streams of the task, which names its two-pass log.
// ownsStream: false for a joined input's record: the stream keeps what its header was written with.
void OpenEncoder(TOutputStream& os, int position, const TTaskOptions& options, TOpenCodecs& codecs,
                 TRunCounters& counters, bool ownsStream) {
  AVCodecContext* enc = os.Encoder.get();
  const char* type = TypeName(enc->codec_type);
  if (!os.Codec)
    Fail(options, Format("Encoder (codec id %d) not found for output stream #%d.%d (%s)", enc->codec_id, os.File,
                         os.Index, type));
  TDictionary privateOptions = options.PrivateCodecOptions(os.Codec, AV_OPT_FLAG_ENCODING_PARAM);
  os.PassLog = PrepareTwoPass(enc, os.Codec, TwoPassLogName(options.State().PassLogFileName, position),
                              privateOptions.Address());
  if (codecs.Open(TCodecRole::Encoder, enc, os.Codec, privateOptions.Address()) < 0) {
    // Only an encoder that opened is closed by the list, which frees what it was handed.
    ff::av_freep(&enc->stats_in);
    Fail(options, Format("Error while opening encoder for output stream #%d.%d (%s) - maybe incorrect parameters "
                         "such as bit_rate, rate, width or height. Please check error log message to find out "
                         "more detail information.",
                         os.File, os.Index, type));
  }
  counters.HeaderBytes += enc->extradata_size;
  if (!ownsStream) return;
  if (ff::avcodec_parameters_from_context(os.Stream->codecpar, enc) < 0)
    Fail(options, Format("Cannot pass the encoder's parameters to output stream #%d.%d", os.File, os.Index));
  os.Stream->time_base = enc->time_base;
  if (enc->codec_type == AVMEDIA_TYPE_VIDEO) os.Stream->avg_frame_rate = enc->framerate;
}

void OpenDecoder(TInputStreamState& ist, const TTaskOptions& options, TOpenCodecs& codecs) {
  const AVCodecParameters* par = ist.Stream->codecpar;
  const AVCodec* codec = ist.DecoderCodec ? ist.DecoderCodec : ff::avcodec_find_decoder(par->codec_id);
  const char* type = TypeName(par->codec_type);
  if (!codec || !ist.Decoder)
    Fail(options, Format("Decoder (codec id %d) not found for input stream #%d.%d (%s)", par->codec_id, ist.File,
                         ist.Index, type));
  TDictionary privateOptions = options.PrivateCodecOptions(codec, AV_OPT_FLAG_DECODING_PARAM);
  if (codecs.Open(TCodecRole::Decoder, ist.Decoder, codec, privateOptions.Address()) < 0)
    Fail(options, Format("Error while opening decoder for input stream #%d.%d (%s)", ist.File, ist.Index, type));
  ist.DecoderCodec = codec;
  ist.DecoderOpen = true;
}

// Sets a filter's arguments: items separated by ":", each "key=value" or a bare value for the
// filter's options in their declared order (so "noise=100" still sets the noise amount).
void SetFilterArguments(AVBSFContext* bsf, const std::string& filterName, const std::string& arguments) {
  if (arguments.empty()) return;
  if (!bsf->filter->priv_class || !bsf->priv_data)
    throw FFmpegException(Format("Bitstream filter %s takes no arguments", filterName.c_str()));
  const AVOption* positional = nullptr;
  for (size_t start = 0; start <= arguments.size();) {
    const size_t colon = std::min(arguments.find(':', start), arguments.size());
    const std::string item = arguments.substr(start, colon - start);
    start = colon + 1;
    const size_t eq = item.find('=');
    std::string key, value = item;
    if (eq != std::string::npos) {
      key = item.substr(0, eq);
      value = item.substr(eq + 1);
    } else {
      do positional = ff::av_opt_next(bsf->priv_data, positional);
      while (positional && positional->type == AV_OPT_TYPE_CONST);
      if (positional) key = positional->name;
    }
    const int rc = key.empty() ? AVERROR_OPTION_NOT_FOUND : ff::av_opt_set(bsf->priv_data, key.c_str(), value.c_str(), 0);
    if (rc < 0)
      throw FFmpegException(
          FormatAVError(Format("Invalid argument \"%s\" for bitstream filter %s", item.c_str(), filterName.c_str()), rc));
  }
}

// One filter context per entry, chained: each takes what the one before gives out. The stream
// then declares what the last one gives out, so the header matches the packets.
void MakeBitstreamFilters(TOutputStream& os, bool ownsStream) {
  const AVCodecParameters* params = os.Stream->codecpar;
  AVRational timeBase = os.Stream->time_base;
  for (const TBitstreamFilterEntry& entry : os.BitstreamFilterEntries) {
    const AVBitStreamFilter* filter = ff::av_bsf_get_by_name(entry.Name.c_str());
    if (!filter) throw FFmpegException(Format("Unknown bitstream filter %s", entry.Text.c_str()));
    AVBSFContext* made = nullptr;
    if (ff::av_bsf_alloc(filter, &made) < 0) throw FFmpegException("Could not alloc bitstream filter");
    TBSFContextPtr bsf(made);
    if (ff::avcodec_parameters_copy(bsf->par_in, params) < 0) throw FFmpegException("Could not alloc bitstream filter");
    bsf->time_base_in = timeBase;
    const std::string arguments = entry.Text.size() > entry.Name.size() ? entry.Text.substr(entry.Name.size() + 1) : "";
    SetFilterArguments(bsf.get(), entry.Name, arguments);
    if (const int rc = ff::av_bsf_init(bsf.get()); rc < 0)
      throw FFmpegException(FormatAVError(Format("Cannot initialize bitstream filter %s for output stream #%d.%d",
                                                 entry.Name.c_str(), os.File, os.Index),
                                          rc));
    params = bsf->par_out;
    timeBase = bsf->time_base_out;
    os.BitstreamFilters.push_back(std::move(bsf));
  }
  if (ownsStream && !os.BitstreamFilters.empty() && ff::avcodec_parameters_copy(os.Stream->codecpar, params) < 0)
    throw FFmpegException("Could not alloc bitstream filter");
}

}  // namespace

void TOutputSet::Prepare(std::vector<TInputStreamState>& inputs, const TInputSet& inputSet, TTaskOptions& options,
                         TDecodedFrameUsers users, TOpenCodecs& codecs, TRunCounters& counters) {
  const TOptionState& opt = options.State();
  // The decoders live in the input set, made when each input was opened.
  const std::vector<TInputStreamCodec>& made = inputSet.StreamCodecs();
  for (size_t i = 0; i < inputs.size() && i < made.size(); ++i) {
    if (!inputs[i].Decoder) inputs[i].Decoder = made[i].Context.get();
    if (!inputs[i].DecoderCodec) inputs[i].DecoderCodec = made[i].Decoder;
  }
  // When joining, the streams take the first input's parameters; the later inputs' records are
  // set up alike now and their encoders opened when their input begins to play.
  const std::vector<TOutputStream*> streams = Streams();
  const std::vector<TOutputStream*> later = FJoined.LaterStreams();
  for (const bool ownsStream : {true, false}) {
    for (TOutputStream* os : ownsStream ? streams : later) {
      if (os->Source < 0 || os->Source >= static_cast<int>(inputs.size()))
        throw FFmpegException(Format("Output stream #%d.%d has no input stream", os->File, os->Index));
      TInputStreamState& ist = inputs[os->Source];
      if (ownsStream && opt.MetadataStreamsAutoCopy)
        ff::av_dict_copy(&os->Stream->metadata, ist.Stream->metadata, AV_DICT_DONT_OVERWRITE);
      if (ownsStream) os->Stream->disposition = ist.Stream->disposition;
      if (os->StreamCopy)
        SetUpCopy(*os, File(os->File), ist, opt, users, ownsStream);
      else
        SetUpEncoding(*os, ist, options);
    }
  }

  // A text subtitle encoder opens with the styles its source's decoder makes when it opens.
  for (TOutputStream* os : streams) {
    if (!os->EncodingNeeded || os->Kind != TStreamKind::Subtitle) continue;
    TInputStreamState& ist = inputs[os->Source];
    if (!ist.DecoderOpen) OpenDecoder(ist, options, codecs);
    CopySubtitleHeader(*os->Encoder, *ist.Decoder);
  }
  for (size_t i = 0; i < streams.size(); ++i)
    if (streams[i]->EncodingNeeded) OpenEncoder(*streams[i], static_cast<int>(i), options, codecs, counters, true);
  for (TInputStreamState& ist : inputs)
    if (ist.DecodingNeeded && !ist.DecoderOpen) OpenDecoder(ist, options, codecs);
  for (TOutputStream* os : streams) MakeBitstreamFilters(*os, true);
  std::vector<AVFormatContext*> contexts;
  for (const auto& file : FFiles) contexts.push_back(file->Context.get());
  CopyMetadataAndChapters(opt, MetadataInputs(inputSet), contexts,
                          [&options](TLogLevel level, const std::string& text) { options.Log(level, text); });

  for (int i = 0; i < Count(); ++i) {
    TOutputFile& file = *FFiles[i];
    AVFormatContext* oc = file.Context.get();
    int rc = 0;
    if (!file.EngineFormat)
      rc = ff::avformat_write_header(oc, nullptr);
    else if (file.EngineFormat->WriteHeader)
      rc = file.EngineFormat->WriteHeader(oc);
    if (rc < 0) Fail(options, Format("Could not write header for output file #%d (incorrect codec parameters ?)", i));
    file.HeaderWritten = true;
  }
  if (AllOutputsAreRtp(contexts)) {
    int rc = 0;
    if (const std::optional<std::string> sdp = RtpSessionDescription(contexts, &rc))
      options.Log(llInfo, "SDP:\r\n" + *sdp);
    else
      options.Log(llWarning, FormatAVError("Cannot describe the RTP session", rc));
  }
}

void TOutputSet::OpenJoinedSet(int input, const TTaskOptions& options, TOpenCodecs& codecs, TRunCounters& counters) {
  for (TOutputStream* os : JoinedSet(input)) {
    // A joined output is the task's only file, so a stream's index is its place among them all.
    if (os->EncodingNeeded) OpenEncoder(*os, os->Index, options, codecs, counters, false);
    MakeBitstreamFilters(*os, false);
  }
}

}  // namespace vidorant
