// The opening sequence of InputOpening.h.
#include "engine/runtime/InputOpening.h"

#include <cerrno>

#include "engine/runtime/AVErrorText.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/InterruptCB.h"
#include "engine/runtime/UnicodeProtocol.h"

namespace vidorant {

TOpenedInput::TOpenedInput() = default;
TOpenedInput::~TOpenedInput() = default;
TOpenedInput::TOpenedInput(TOpenedInput&&) noexcept = default;

// Member-wise assignment would replace the byte stream while the old context still reads it.
TOpenedInput& TOpenedInput::operator=(TOpenedInput&& other) noexcept {
  Context.reset();
  IO = std::move(other.IO);
  Context = std::move(other.Context);
  LibName = std::move(other.LibName);
  return *this;
}

TUnopenedInputPtr AllocInputContext() { return TUnopenedInputPtr(ff::avformat_alloc_context()); }

int OpenInput(TUnopenedInputPtr context, const std::string& fileName, const AVInputFormat* format,
              AVDictionary** parameters, TOpenedInput& input, std::string& error) {
  input = TOpenedInput{};
  if (!context) {
    error = FormatAVError(fileName, AVERROR(ENOMEM));
    return AVERROR(ENOMEM);
  }
  // Set before opening, into the caller's context, so both stay in effect while it opens.
  context->flags |= AVFMT_FLAG_NONBLOCK;
  context->interrupt_callback = AVIOInterruptCB{EngineInterruptCallback, nullptr};

  std::string libName;
  try {
    libName = FileNameToLib(fileName);
  } catch (const EFileNameTooLong& e) {
    error = e.Message;
    return AVERROR(ENAMETOOLONG);
  }
  std::unique_ptr<TEngineIO> io;
  // A format that opens its own files (an image sequence names many, a device none) gets no
  // byte stream of ours: there is no single file behind the name to open.
  const bool opensItsOwnFiles = format && (format->flags & AVFMT_NOFILE);
  if (const int rc = opensItsOwnFiles ? 0 : OpenEngineInput(libName, io); rc < 0) {
    error = FormatAVError(fileName, rc);
    return rc;
  }
  if (io) {
    context->pb = io->Context();
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  AVFormatContext* opened = context.release();  // avformat_open_input frees it on failure
  if (const int rc = ff::avformat_open_input(&opened, libName.c_str(), format, parameters); rc < 0) {
    error = FormatAVError(fileName, rc);
    return rc;
  }
  input.IO = std::move(io);
  input.Context.reset(opened);
  input.LibName = std::move(libName);
  return 0;
}

}  // namespace vidorant
