// The "unicode" protocol: opens "unicode:utf8:<name>" with the system's own file calls on the
// UTF-8 name. Each connection owns one TRawFile in its private slot from Open to Close. Waits on
// pipes ask the connection's interrupt callback, so a stopped task is never stuck here.
#include "engine/runtime/UnicodeProtocol.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/runtime/NarrowText.h"
#include "engine/runtime/ProtocolRegistry.h"
#include "platform/Format.h"
#include "platform/RawFile.h"

namespace vidorant {

namespace {

constexpr char PassThroughSchemes[] = ":unicode:stream:gopher:http:pipe:rtp:tcp:udp:";
constexpr size_t PrefixLength = sizeof(UnicodeNamePrefix) - 1;

// Everything after the second ":" of the name (the name without "unicode:utf8:").
std::string StripTwoParts(const std::string& name) {
  size_t start = 0;
  for (int part = 0; part < 2; ++part) {
    const size_t colon = name.find(':', start);
    if (colon == std::string::npos) return name.substr(start);
    start = colon + 1;
  }
  return name.substr(start);
}

TRawFile* FileOf(TProtocolConnection* connection) {
  return static_cast<TRawFile*>(connection->PrivData);
}

TAbortCheck AbortCheckOf(TProtocolConnection* connection) {
  const AVIOInterruptCB cb = connection->InterruptCallback;
  if (!cb.callback) return nullptr;
  return [cb] { return cb.callback(cb.opaque) != 0; };
}

// The file's results carry the system's own reason as a negated errno value, which is the
// library's AVERROR(errno) here, so the library's texts ("Is a directory", "File name too long")
// reach the user; a stop is not a failure of the file.
static_assert(AVERROR(ENOENT) == -ENOENT, "negated errno values are the library's error codes");

int64_t LibraryResult(int64_t fileResult) { return fileResult == RawFileAborted ? AVERROR_EXIT : fileResult; }

int ProtocolOpen(TProtocolConnection* connection, const char* name, int flags) {
  TFileAccess access = TFileAccess::Read;
  if (flags & AVIO_FLAG_WRITE)
    access = (flags & AVIO_FLAG_READ) ? TFileAccess::ReadWrite : TFileAccess::Write;
  std::unique_ptr<TRawFile> file;
  const int rc = TRawFile::Open(StripTwoParts(name), access, AbortCheckOf(connection), file);
  if (rc != 0) return static_cast<int>(LibraryResult(rc));
  connection->PrivData = file.release();
  return 0;
}

int ProtocolRead(TProtocolConnection* connection, uint8_t* buffer, int size) {
  return static_cast<int>(LibraryResult(FileOf(connection)->Read(buffer, size, AbortCheckOf(connection))));
}

int ProtocolWrite(TProtocolConnection* connection, const uint8_t* buffer, int size) {
  return static_cast<int>(LibraryResult(FileOf(connection)->Write(buffer, size, AbortCheckOf(connection))));
}

int64_t ProtocolSeek(TProtocolConnection* connection, int64_t position, int whence) {
  TRawFile* file = FileOf(connection);
  if (whence == AVSEEK_SIZE) return file->Size();
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return AVERROR(EINVAL);
  return file->Seek(position, whence);
}

int ProtocolClose(TProtocolConnection* connection) {
  delete FileOf(connection);
  connection->PrivData = nullptr;
  return 0;
}

const TProtocol Protocol = {"unicode",    ProtocolOpen, ProtocolRead,
                            ProtocolWrite, ProtocolSeek, ProtocolClose};

}  // namespace

bool NeedsUnicodeName(const std::string& name) {
  const size_t colon = name.find(':');
  if (colon != std::string::npos) {
    // Built in place: GCC 12 warns (-Wrestrict) about the temporaries of ":" + text + ":".
    std::string scheme(1, ':');
    scheme.append(name, 0, colon).push_back(':');
    if (std::strstr(PassThroughSchemes, scheme.c_str())) return false;
  }
  const std::optional<std::string> narrow = Utf8ToNarrow(name);
  if (!narrow) return true;
  const std::optional<std::string> back = NarrowToUtf8(*narrow);
  return !back || *back != name;
}

std::string FileNameToLib(const std::string& name) {
  std::string libName;
  if (NeedsUnicodeName(name))
    libName = UnicodeNamePrefix + name;
  else
    libName = Utf8ToNarrow(name).value_or(name);  // a pass-through scheme keeps its bytes
  if (libName.size() >= LibFileNameLimit)
    throw EFileNameTooLong(
        Format("File name too long (%zu bytes, at most %zu): %s", libName.size(),
               LibFileNameLimit - 1, name.c_str()));
  return libName;
}

bool IsUnicodeName(const std::string& libName) {
  return libName.size() > PrefixLength && libName.compare(0, PrefixLength, UnicodeNamePrefix) == 0;
}

std::string LibToFileName(const std::string& libName) {
  if (IsUnicodeName(libName)) return StripTwoParts(libName);
  // Bytes the narrow set does not know stay as they are: the system takes any bytes as a name.
  return NarrowToUtf8(libName).value_or(libName);
}

const TProtocol* UnicodeProtocol() { return &Protocol; }

void RegisterUnicodeProtocol() { RegisterProtocol(&Protocol); }

}  // namespace vidorant
