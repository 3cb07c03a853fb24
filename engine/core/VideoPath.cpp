#include "engine/core/VideoPath.h"

#include <algorithm>
#include <unordered_set>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include "engine/core/FFmpegException.h"
#include "engine/core/VideoEncoding.h"
#include "engine/runtime/AVErrorText.h"
#include "engine/runtime/AVPicture.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FrameHook.h"
#include "platform/Format.h"

namespace vidorant {
namespace {

// Buffers the scaler and the hook modules write into carry this alignment and its padding.
constexpr int PictureAlignment = 64;

// The planes of a format whose every sample is one byte in a plane of its own: what the line
// blend below can serve. Zero for any other format.
int BytePlaneCount(AVPixelFormat format) {
  const AVPixFmtDescriptor* desc = ff::av_pix_fmt_desc_get(format);
  if (!desc || (desc->flags & (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_PAL)))
    return 0;
  if (desc->nb_components > 1 && !(desc->flags & AV_PIX_FMT_FLAG_PLANAR)) return 0;
  for (int c = 0; c < desc->nb_components; ++c)
    if (desc->comp[c].depth != 8 || desc->comp[c].step != 1) return 0;
  return ff::av_pix_fmt_count_planes(format);
}

// Deinterlaces by line blending: the top field is kept and every row of the bottom field becomes
// the mean of the rows above and below it (the last row, without one below, repeats the row
// above). Unlike a motion-adaptive deinterlacer it needs no neighbouring pictures, so each
// picture comes out at once. False for formats it cannot serve (see BytePlaneCount).
bool BlendFields(const AVFrame& source, AVFrame& target) {
  const auto format = static_cast<AVPixelFormat>(source.format);
  const int planes = BytePlaneCount(format);
  if (planes == 0) return false;
  const AVPixFmtDescriptor* desc = ff::av_pix_fmt_desc_get(format);
  for (int plane = 0; plane < planes; ++plane) {
    const bool chroma = desc->nb_components >= 3 && (plane == 1 || plane == 2);
    const int width = chroma ? AV_CEIL_RSHIFT(source.width, desc->log2_chroma_w) : source.width;
    const int height = chroma ? AV_CEIL_RSHIFT(source.height, desc->log2_chroma_h) : source.height;
    const auto row = [](const AVFrame& frame, int plane, int y) {
      return frame.data[plane] + static_cast<ptrdiff_t>(y) * frame.linesize[plane];
    };
    for (int y = 0; y < height; ++y) {
      uint8_t* out = row(target, plane, y);
      if (y % 2 == 0 || y + 1 >= height) {
        std::copy_n(row(source, plane, y % 2 == 0 ? y : y - 1), width, out);
        continue;
      }
      const uint8_t* above = row(source, plane, y - 1);
      const uint8_t* below = row(source, plane, y + 1);
      for (int x = 0; x < width; ++x) out[x] = static_cast<uint8_t>((above[x] + below[x] + 1) / 2);
    }
  }
  return true;
}

bool SameGeometry(const AVFrame& picture, const AVCodecContext& encoder) {
  return picture.width == encoder.width && picture.height == encoder.height && picture.format == encoder.pix_fmt;
}

}  // namespace

bool DeclaresVariableFrameRate(const TOutputFile& file) {
  const AVOutputFormat* format = file.Context ? file.Context->oformat : nullptr;
  return format && (format->flags & AVFMT_VARIABLE_FPS);
}

struct TVideoPath::TImpl {
  explicit TImpl(TVideoPathEnv env) : Env(std::move(env)), Encoding(Env) {}

  const TOptionState& Options() const {
    static const TOptionState defaults;
    return Env.Options ? *Env.Options : defaults;
  }
  void Log(TLogLevel level, const std::string& text) const { LogVideoPathLine(Env, level, text); }

  AVFrame* HookBufferFor(const AVFrame& decoded);
  const TInputStreamState& SyncInput(const TOutputStream& output, const TInputStreamState& source) const;
  int FramesForPicture(TOutputStream& output, const TInputStreamState& input);
  void Deliver(TOutputStream& output, TInputStreamState& input, const AVFrame& picture);
  void FilteredPicture(TOutputStream& output, TInputStreamState& input, const TFilteredPicture& filtered);
  void PushIntoFilters(TOutputStream& output, TInputStreamState& input, const AVFrame* picture);
  std::string SizeChangeLine(const TInputStreamState& input, const AVFrame& picture) const;

  TVideoPathEnv Env;
  TVideoEncoding Encoding;
  TFramePtr HookBuffer;  // the decoder's size and format once a picture needed it
  std::unordered_set<const TOutputStream*> Flushed;
};

AVFrame* TVideoPath::TImpl::HookBufferFor(const AVFrame& decoded) {
  const bool fits = HookBuffer && HookBuffer->width == decoded.width && HookBuffer->height == decoded.height &&
                    HookBuffer->format == decoded.format;
  if (!fits) {
    TFramePtr buffer(ff::av_frame_alloc());
    if (buffer) {
      buffer->width = decoded.width;
      buffer->height = decoded.height;
      buffer->format = decoded.format;
    }
    if (!buffer || ff::av_frame_get_buffer(buffer.get(), PictureAlignment) < 0) {
      Log(llError, "hook buf malloc error.");
      return nullptr;
    }
    HookBuffer = std::move(buffer);
  } else if (ff::av_frame_make_writable(HookBuffer.get()) < 0) {
    // An encoder or filter graph may still hold the previous picture.
    Log(llError, "hook buf malloc error.");
    return nullptr;
  }
  ff::av_frame_copy_props(HookBuffer.get(), &decoded);
  return HookBuffer.get();
}

const TInputStreamState& TVideoPath::TImpl::SyncInput(const TOutputStream& output,
                                                       const TInputStreamState& source) const {
  if (Env.InputStreams && output.Sync >= 0 && static_cast<size_t>(output.Sync) < Env.InputStreams->size())
    return (*Env.InputStreams)[output.Sync];
  return source;
}

int TVideoPath::TImpl::FramesForPicture(TOutputStream& output, const TInputStreamState& input) {
  const TOptionState& options = Options();
  const AVRational timeBase = output.Encoder->time_base;
  // The picture's place on the output's timeline, in output frames.
  const double pictureTime = static_cast<double>(SyncInput(output, input).Pts - options.StartTime) / 1000000.0 /
                             (static_cast<double>(timeBase.num) / timeBase.den);
  const bool variableRate = Env.VariableFrameRate && Env.VariableFrameRate(output);
  int64_t count = output.RateSync.FramesForPicture(pictureTime, options.VideoSyncMethod, variableRate);
  if (count == 0 && options.Verbose > 2) Log(llVerbose, "*** drop!");
  if (count > 1 && options.Verbose > 2) Log(llVerbose, Format("*** %d dup!", static_cast<int>(count - 1)));
  count = std::min<int64_t>(count, static_cast<int64_t>(options.MaxFrames[TStreamKind::Video]) - output.FrameNumber);
  return static_cast<int>(std::max<int64_t>(count, 0));
}

std::string TVideoPath::TImpl::SizeChangeLine(const TInputStreamState& input, const AVFrame& picture) const {
  const char* name = ff::av_get_pix_fmt_name(static_cast<AVPixelFormat>(picture.format));
  return Format("Input Stream #%d.%d frame size changed to %dx%d, %s", input.File, input.Index, picture.width,
                picture.height, name ? name : "none");
}

void TVideoPath::TImpl::Deliver(TOutputStream& output, TInputStreamState& input, const AVFrame& picture) {
  const int count = FramesForPicture(output, input);
  if (count <= 0) return;
  const AVFrame* toEncode = &picture;
  if (!output.Filters) {
    if (output.ResampleNeeded) {
      if (!output.Scaler)
        output.Scaler = std::make_unique<TVideoScaler>(output.Encoder->width, output.Encoder->height,
                                                       output.Encoder->pix_fmt, Options().SwsFlags);
      if (!output.Scaler->MadeFor(picture)) Log(llQuiet, SizeChangeLine(input, picture));
      toEncode = &output.Scaler->Scale(picture);
    } else if (!SameGeometry(picture, *output.Encoder)) {
      // The encoder takes the pictures as they are: it cannot take a new size or format.
      const std::string line = SizeChangeLine(input, picture);
      Log(llQuiet, line);
      throw FFmpegException(Format("%s: output stream #%d.%d was set up without resampling and cannot follow",
                                   line.c_str(), output.File, output.Index));
    }
  }
  Encoding.Emit(output, *toEncode, picture, count);
}

void TVideoPath::TImpl::FilteredPicture(TOutputStream& output, TInputStreamState& input,
                                        const TFilteredPicture& filtered) {
  if (filtered.Pts != NoValue) input.Pts = filtered.Pts;
  output.Encoder->sample_aspect_ratio = filtered.SampleAspectRatio;
  Deliver(output, input, *filtered.Frame);
}

void TVideoPath::TImpl::PushIntoFilters(TOutputStream& output, TInputStreamState& input, const AVFrame* picture) {
  const int code = output.Filters->Push(picture, input.Pts, [&](const TFilteredPicture& filtered) {
    FilteredPicture(output, input, filtered);
  });
  // A graph that failed gives nothing more: every later picture of the stream would be lost.
  if (code < 0) throw FFmpegException(FormatAVError("Video filtering failed", code));
}

TVideoPath::TVideoPath(TVideoPathEnv env) : FImpl(std::make_unique<TImpl>(std::move(env))) {}

TVideoPath::~TVideoPath() = default;

const AVFrame* TVideoPath::PreProcess(TInputStreamState& input, const AVFrame& decoded) {
  input.PictureCount++;
  TVideoPathEnv& env = FImpl->Env;
  const bool inputHook = env.OnVideoInputHook && *env.OnVideoInputHook && env.Converter;
  const bool frameHooks = env.FrameHooksActive && env.FrameHooks;
  const bool deinterlace = FImpl->Options().DoDeinterlace;
  if (!deinterlace && !inputHook && !frameHooks) return &decoded;

  // The decoder may share the picture's buffers with pictures it still refers to: whatever
  // changes the picture works on the path's own copy.
  AVFrame* buffer = FImpl->HookBufferFor(decoded);
  if (!buffer) return &decoded;
  bool filled = false;
  if (deinterlace) {
    filled = BlendFields(decoded, *buffer);
    if (!filled) {
      FImpl->Log(llError, "Deinterlacing failed.");
      if (!inputHook && !frameHooks) return &decoded;
    }
  }
  if (!filled && ff::av_frame_copy(buffer, &decoded) < 0) {
    FImpl->Log(llError, "hook buf malloc error.");
    return &decoded;
  }

  if (inputHook) {
    RunPictureEvent(*env.OnVideoInputHook, env.Sender, *env.Converter, *buffer,
                    static_cast<int32_t>(input.PictureCount), input.Pts,
                    [this](TLogLevel level, const std::string& text) { FImpl->Log(level, text); });
  } else if (frameHooks) {
    TAVPicture view = PictureOf(*buffer);
    ProcessFrameHooks(*env.FrameHooks, &view, static_cast<AVPixelFormat>(buffer->format), buffer->width,
                      buffer->height, input.Pts);
  }
  return buffer;
}

void TVideoPath::Output(TOutputStream& output, TInputStreamState& input, const AVFrame& picture) {
  // Pictures after a flush (an input joined to the last one) make the next flush drain again.
  FImpl->Flushed.erase(&output);
  if (output.Filters)
    FImpl->PushIntoFilters(output, input, &picture);
  else
    FImpl->Deliver(output, input, picture);
}

void TVideoPath::Flush(TOutputStream& output, TInputStreamState& input) {
  if (!FImpl->Flushed.insert(&output).second) return;
  if (output.Filters) FImpl->PushIntoFilters(output, input, nullptr);
  FImpl->Encoding.Drain(output);
}

}  // namespace vidorant
