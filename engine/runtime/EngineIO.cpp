// Byte streams of EngineIO.h. For the engine's own protocols the custom AVIOContext's callbacks
// translate the protocol's results to what FFmpeg expects: end of file as AVERROR_EOF, and a
// write callback that writes everything (FFmpeg does not retry short writes).
#include "engine/runtime/EngineIO.h"

#include <cctype>
#include <cerrno>

#include "engine/runtime/InterruptCB.h"
#include "engine/runtime/ProtocolRegistry.h"
#include "engine/runtime/UnicodeProtocol.h"
#include "platform/Exception.h"

namespace vidorant {

namespace {

constexpr int IOBufferSize = 32768;

// The protocols report the library's own error codes, so the reason passes on unchanged.
int LibraryError(int64_t protocolResult) { return static_cast<int>(protocolResult); }

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

// True for a name the file system opens: no protocol scheme of two or more letters before a
// ":" (one letter is a drive), or the "file:" scheme.
bool IsFileSystemName(const std::string& libName) {
  if (libName.rfind("file:", 0) == 0) return true;
  const size_t colon = libName.find(':');
  if (colon == std::string::npos || colon < 2) return true;
  for (size_t i = 0; i < colon; ++i)
    if (!isalnum(static_cast<unsigned char>(libName[i])) && libName[i] != '+' && libName[i] != '-' &&
        libName[i] != '.')
      return true;
  return false;
}

std::string FileSystemPath(const std::string& libName) {
  return libName.rfind("file:", 0) == 0 ? libName.substr(5) : libName;
}

}  // namespace

TEngineIO::TEngineIO() = default;

int OpenEngineIO(const std::string& libName, int flags, AVDictionary** options,
                 std::unique_ptr<TEngineIO>& io) {
  io.reset();
  Assert(VIDORANT_FF_BOUND(avio_open2) && VIDORANT_FF_BOUND(avio_alloc_context),
         "avio_open2 and avio_alloc_context are not bound", "UnicodeProtocol");
  std::unique_ptr<TEngineIO> opened(new TEngineIO);
  const TProtocol* protocol = FindProtocolForName(libName);
  if (!protocol) {
    const AVIOInterruptCB interrupt{EngineInterruptCallback, nullptr};
    AVIOContext* context = nullptr;
    const int rc = ff::avio_open2(&context, libName.c_str(), flags, &interrupt, options);
    if (rc < 0) return rc;
    opened->FOpened.reset(context);
    io = std::move(opened);
    return 0;
  }

  auto connection = std::make_unique<TProtocolConnection>();
  connection->Protocol = protocol;
  connection->InterruptCallback = {EngineInterruptCallback, nullptr};
  const int rc = protocol->Open(connection.get(), libName.c_str(), flags);
  if (rc < 0) return rc;
  auto* buffer = static_cast<unsigned char*>(ff::av_malloc(IOBufferSize));
  AVIOContext* context = nullptr;
  if (buffer)
    context = ff::avio_alloc_context(buffer, IOBufferSize, (flags & AVIO_FLAG_WRITE) ? 1 : 0,
                                     connection.get(), ReadPacket, WritePacket, SeekStream);
  if (!context) {
    ff::av_free(buffer);
    protocol->Close(connection.get());
    return AVERROR(ENOMEM);
  }
  // A pipe cannot seek: say so, or demuxers would plan on seeks that must fail.
  if (protocol->Seek(connection.get(), 0, SEEK_CUR) < 0) context->seekable = 0;
  opened->FCustom.reset(context);
  opened->FConnection = std::move(connection);
  io = std::move(opened);
  return 0;
}

int OpenEngineInput(const std::string& libName, std::unique_ptr<TEngineIO>& io) {
  io.reset();
  if (IsUnicodeName(libName)) return OpenEngineIO(libName, AVIO_FLAG_READ, nullptr, io);
  if (IsFileSystemName(libName))
    return OpenEngineIO(UnicodeNamePrefix + FileSystemPath(libName), AVIO_FLAG_READ, nullptr, io);
  return 0;
}

int TEngineIO::Close() {
  AVIOContext* context = Context();
  if (!context) return 0;
  // The flush's failure is kept in the context's error field; closing would swallow it.
  if (context->write_flag) ff::avio_flush(context);
  int rc = context->error;
  if (FConnection) {
    const int closed = FConnection->Protocol->Close(FConnection.get());
    if (rc == 0 && closed < 0) rc = LibraryError(closed);
  }
  FCustom.reset();
  FOpened.reset();
  FConnection.reset();
  return rc;
}

TEngineIO::~TEngineIO() { Close(); }

}  // namespace vidorant
