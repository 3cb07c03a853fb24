// Writing the output set's files while the task runs (OutputSet.h): each packet through its
// stream's bitstream filters to the format, and at the end every trailer and the closing of the
// files' byte streams, whose failure (a full disk) is the run's failure too.
#include "engine/core/OutputSet.h"

#include "engine/core/FFmpegException.h"
#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVErrorText.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/FFLog.h"
#include "platform/Format.h"

extern "C" {
#include <libavcodec/bsf.h>
}

namespace vidorant {
namespace {

// Hands one packet (timestamps in the stream's time base) to the file's format; the packet is
// blank afterwards, whichever format took it.
void Deliver(TOutputFile& file, TOutputStream& stream, AVPacket& packet) {
  packet.stream_index = stream.Index;
  const int64_t pts = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
  AVFormatContext* oc = file.Context.get();
  int rc = 0;
  if (!file.EngineFormat) {
    rc = ff::av_interleaved_write_frame(oc, &packet);
  } else {
    if (file.EngineFormat->WritePacket) rc = file.EngineFormat->WritePacket(oc, &packet);
    ff::av_packet_unref(&packet);
  }
  if (rc < 0) throw FFmpegException(FormatAVError("av_interleaved_write_frame()", rc));
  if (pts != AV_NOPTS_VALUE && (stream.LastPts == NoValue || pts > stream.LastPts)) stream.LastPts = pts;
}

class TFilteredWriter {
public:
  TFilteredWriter(TObject* sender, TOutputFile& file, TOutputStream& stream, bool exitOnError)
      : FSender(sender), FFile(file), FStream(stream), FExitOnError(exitOnError) {}

  // Passes the packet through the filters from index level on, then to the format. A filter
  // that fails lets the packet it could not take pass on unfiltered, as if it were not there.
  void Write(size_t level, AVPacket& packet) {
    if (level == FStream.BitstreamFilters.size()) {
      Deliver(FFile, FStream, packet);
      return;
    }
    AVBSFContext* bsf = FStream.BitstreamFilters[level].get();
    if (const int rc = ff::av_bsf_send_packet(bsf, &packet); rc < 0) {
      Report(bsf, rc);
      Write(level + 1, packet);
      return;
    }
    TPacketPtr filtered(ff::av_packet_alloc());
    if (!filtered) throw FFmpegException("av_packet_alloc failed");
    int rc;
    while ((rc = ff::av_bsf_receive_packet(bsf, filtered.get())) >= 0) Write(level + 1, *filtered);
    if (rc != AVERROR(EAGAIN) && rc != AVERROR_EOF) Report(bsf, rc);
  }

private:
  void Report(const AVBSFContext* bsf, int rc) const {
    const std::string text = FormatAVError(
        Format("%s failed for stream %d, codec %s", bsf->filter->name, FStream.Stream->index,
               ff::avcodec_get_name(FStream.Stream->codecpar->codec_id)),
        rc);
    if (FExitOnError) throw FFmpegException(text);
    FFLogger()->Log(FSender, llError, text);
  }

  TObject* FSender;
  TOutputFile& FFile;
  TOutputStream& FStream;
  bool FExitOnError;
};

}  // namespace

void TOutputSet::WritePacket(TOutputStream& stream, AVPacket& packet, bool exitOnError) {
  TFilteredWriter(FSender, File(stream.File), stream, exitOnError).Write(0, packet);
}

void TOutputSet::WriteTrailers() {
  std::string failure;
  const int count = FJoining ? std::min(Count(), 1) : Count();
  for (int i = 0; i < count; ++i) {
    TOutputFile& file = *FFiles[i];
    if (!file.HeaderWritten || file.TrailerWritten) continue;
    file.TrailerWritten = true;
    AVFormatContext* oc = file.Context.get();
    int rc = 0;
    if (!file.EngineFormat)
      rc = ff::av_write_trailer(oc);
    else if (file.EngineFormat->WriteTrailer)
      rc = file.EngineFormat->WriteTrailer(oc);
    if (rc < 0 && failure.empty()) failure = FormatAVError(Format("Could not write trailer for output file #%d", i), rc);
    if (file.IO) {
      const int closed = file.IO->Close();
      file.IO.reset();
      oc->pb = nullptr;
      if (closed < 0 && failure.empty()) failure = FormatAVError(file.FileName, closed);
    }
  }
  if (!failure.empty()) throw FFmpegException(failure);
}

}  // namespace vidorant
