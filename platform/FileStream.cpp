// TFileStream over POSIX descriptors. Interrupted system calls are retried, so a short count
// from Read means the end of the file and nothing else.
#include "platform/FileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Format.h"

namespace vidorant {

namespace {

std::string SystemReason(int error) { return std::strerror(error); }

int OpenFlags(TFileMode mode) {
  switch (mode) {
    case fmOpenRead: return O_RDONLY;
    case fmOpenWrite: return O_WRONLY;
    case fmOpenReadWrite: return O_RDWR;
    case fmCreate: return O_RDWR | O_CREAT | O_TRUNC;
  }
  return O_RDONLY;
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : FFileName(fileName) {
  int handle;
  do {
    handle = ::open(fileName.c_str(), OpenFlags(mode) | O_CLOEXEC, 0666);
  } while (handle < 0 && errno == EINTR);
  if (handle < 0) {
    int error = errno;
    if (mode == fmCreate)
      throw EFCreateError(Format("Cannot create file \"%s\". %s", fileName.c_str(), SystemReason(error).c_str()));
    throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(), SystemReason(error).c_str()));
  }
  // open() succeeds on a folder for reading; a folder is not a file stream.
  struct stat info {};
  if (::fstat(handle, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(handle);
    throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(), SystemReason(EISDIR).c_str()));
  }
  FHandle = handle;
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t got = ::read(FHandle, bytes + done, static_cast<size_t>(count - done));
    if (got < 0) {
      if (errno == EINTR) continue;
      throw EReadError(Format("Stream read error: %s", SystemReason(errno).c_str()));
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t put = ::write(FHandle, bytes + done, static_cast<size_t>(count - done));
    if (put < 0) {
      if (errno == EINTR) continue;
      throw EWriteError(Format("Stream write error: %s", SystemReason(errno).c_str()));
    }
    done += put;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t result = ::lseek(FHandle, static_cast<off_t>(offset), whence);
  if (result < 0) throw EStreamError(Format("Invalid stream position: %s", SystemReason(errno).c_str()));
  return result;
}

void TFileStream::SetSize(int64_t newSize) {
  if (newSize < 0) throw EStreamError("Invalid stream size");
  if (::ftruncate(FHandle, static_cast<off_t>(newSize)) != 0)
    throw EStreamError(Format("Cannot change the size of \"%s\". %s", FFileName.c_str(), SystemReason(errno).c_str()));
  if (GetPosition() > newSize) SetPosition(newSize);
}

}  // namespace vidorant
