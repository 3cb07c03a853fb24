// Byte streams of EngineIO.h. For the engine's own protocols the custom AVIOContext's callbacks
// translate the protocol's results to what FFmpeg expects: end of file as AVERROR_EOF, and a
// write callback that writes everything (FFmpeg does not retry short writes).
#include "engine/runtime/EngineIO.h"

#include <cerrno>

#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/InterruptCB.h"
#include "engine/runtime/ProtocolRegistry.h"
#include "platform/Exception.h"

namespace vidorant {

namespace {

constexpr int IOBufferSize = 32768;

int LibraryError(int64_t protocolResult) {
  return protocolResult == -1 ? AVERROR(EIO) : static_cast<int>(protocolResult);
}

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  auto* c = static_cast<TProtocolConnection*>(opaque);
  const int n = c->Protocol->Read(c, buffer, size);
  if (n == 0) return AVERROR_EOF;
  return n < 0 ? LibraryError(n) : n;
}

int WritePacket(void* opaque, uint8_t* buffer, int size) {
  auto* c = static_cast<TProtocolConnection*>(opaque);
  int done = 0;
  while (done < size) {
    const int n = c->Protocol->Write(c, buffer + done, size - done);
    if (n < 0) return LibraryError(n);
    if (n == 0) return AVERROR(EIO);  // no progress: a full device would loop for ever
    done += n;
  }
  return done;
}

int64_t SeekStream(void* opaque, int64_t offset, int whence) {
  auto* c = static_cast<TProtocolConnection*>(opaque);
  const int64_t pos = c->Protocol->Seek(c, offset, whence & ~AVSEEK_FORCE);
  return pos < 0 ? LibraryError(pos) : pos;
}

int OpenOwnProtocol(const TProtocol* protocol, const std::string& libName, int flags,
                    std::unique_ptr<TProtocolConnection>& connection, AVIOContext** context) {
  Assert(ff::avio_alloc_context && ff::av_malloc && ff::av_free,
         "avio_alloc_context is not bound", "UnicodeProtocol");
  connection = std::make_unique<TProtocolConnection>();
  connection->Protocol = protocol;
  connection->InterruptCallback = {EngineInterruptCallback, nullptr};
  int rc = protocol->Open(connection.get(), libName.c_str(), flags);
  if (rc < 0) return rc;
  auto* buffer = static_cast<unsigned char*>(ff::av_malloc(IOBufferSize));
  if (buffer)
    *context = ff::avio_alloc_context(buffer, IOBufferSize, (flags & AVIO_FLAG_WRITE) ? 1 : 0,
                                      connection.get(), ReadPacket, WritePacket, SeekStream);
  if (!*context) {
    ff::av_free(buffer);
    protocol->Close(connection.get());
    return AVERROR(ENOMEM);
  }
  return 0;
}

}  // namespace

int OpenEngineIO(const std::string& libName, int flags, AVDictionary** options,
                 std::unique_ptr<TEngineIO>& io) {
  io.reset();
  std::unique_ptr<TEngineIO> opened(new TEngineIO);
  int rc;
  if (const TProtocol* protocol = FindProtocolForName(libName)) {
    rc = OpenOwnProtocol(protocol, libName, flags, opened->FConnection, &opened->FContext);
  } else {
    Assert(ff::avio_open2 != nullptr, "avio_open2 is not bound", "UnicodeProtocol");
    const AVIOInterruptCB interrupt{EngineInterruptCallback, nullptr};
    rc = ff::avio_open2(&opened->FContext, libName.c_str(), flags, &interrupt, options);
  }
  if (rc < 0) {
    opened->FContext = nullptr;
    return rc;
  }
  io = std::move(opened);
  return 0;
}

int TEngineIO::Close() {
  if (!FContext) return 0;
  int rc = 0;
  if (FConnection) {
    if (FContext->write_flag) ff::avio_flush(FContext);
    rc = FContext->error;
    const int closed = FConnection->Protocol->Close(FConnection.get());
    if (rc == 0 && closed < 0) rc = LibraryError(closed);
    ff::av_freep(&FContext->buffer);
    ff::avio_context_free(&FContext);
    FConnection.reset();
  } else {
    rc = ff::avio_closep(&FContext);
  }
  FContext = nullptr;
  return rc;
}

TEngineIO::~TEngineIO() { Close(); }

}  // namespace vidorant
