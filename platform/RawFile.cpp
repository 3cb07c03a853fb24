// POSIX implementation of TRawFile. Named pipes are opened non-blocking so that no call can
// block in the kernel beyond one poll interval; the abort check is asked between intervals.
#include "platform/RawFile.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vidorant {

namespace {

constexpr int PollIntervalMs = 50;

bool Aborted(const TAbortCheck& abort) { return abort && abort(); }

// Waits until the descriptor is ready for the given events. 0 when ready, RawFileAborted.
int WaitReady(int fd, short events, const TAbortCheck& abort) {
  for (;;) {
    if (Aborted(abort)) return RawFileAborted;
    pollfd pfd{fd, events, 0};
    int rc = poll(&pfd, 1, PollIntervalMs);
    if (rc > 0) return 0;
    if (rc < 0 && errno != EINTR) return -errno;
  }
}

int OpenFlags(TFileAccess access) {
  switch (access) {
    case TFileAccess::Read: return O_RDONLY;
    case TFileAccess::Write: return O_WRONLY | O_CREAT | O_TRUNC;
    case TFileAccess::ReadWrite: return O_RDWR | O_CREAT | O_TRUNC;
  }
  return O_RDONLY;
}

}  // namespace

int TRawFile::Open(const std::string& name, TFileAccess access, const TAbortCheck& abort,
                   std::unique_ptr<TRawFile>& file) {
  file.reset();
  struct stat st {};
  const bool isFifo = stat(name.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
  int flags = OpenFlags(access) | O_CLOEXEC | (isFifo ? O_NONBLOCK : 0);
  int fd;
  for (;;) {
    fd = ::open(name.c_str(), flags, 0666);
    if (fd >= 0) break;
    // A pipe opened for writing has no reader yet: wait for one as a blocking open would.
    if (isFifo && errno == ENXIO) {
      if (Aborted(abort)) return RawFileAborted;
      usleep(PollIntervalMs * 1000);
      continue;
    }
    if (errno != EINTR) return -errno;
  }
  // The system opens a folder for reading, and every read of it then fails: a folder is not a
  // file, and saying so here keeps the reason instead of a read error later.
  struct stat opened {};
  if (fstat(fd, &opened) == 0 && S_ISDIR(opened.st_mode)) {
    ::close(fd);
    return -EISDIR;
  }
  if (isFifo && access == TFileAccess::Read) {
    // A blocking open of a pipe for reading returns once a writer exists; until then the
    // non-blocking descriptor reports nothing. Wait for the first data or hang-up.
    int rc = WaitReady(fd, POLLIN, abort);
    if (rc != 0) {
      ::close(fd);
      return rc;
    }
  }
  file.reset(new TRawFile(fd, isFifo));
  return 0;
}

TRawFile::~TRawFile() { ::close(Fd); }

// Runs one read or write, waiting through "would block" on a pollable descriptor.
template <typename TTransfer>
int64_t TransferWithWaits(int fd, bool pollable, short events, const TAbortCheck& abort,
                          TTransfer transfer) {
  for (;;) {
    const ssize_t n = transfer();
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (!(pollable && (errno == EAGAIN || errno == EWOULDBLOCK))) return -errno;
    const int rc = WaitReady(fd, events, abort);
    if (rc != 0) return rc;
  }
}

int64_t TRawFile::Read(void* buffer, size_t size, const TAbortCheck& abort) {
  return TransferWithWaits(Fd, Pollable, POLLIN, abort, [&] { return ::read(Fd, buffer, size); });
}

int64_t TRawFile::Write(const void* buffer, size_t size, const TAbortCheck& abort) {
  return TransferWithWaits(Fd, Pollable, POLLOUT, abort,
                           [&] { return ::write(Fd, buffer, size); });
}

int64_t TRawFile::Seek(int64_t position, int whence) {
  off_t pos = ::lseek(Fd, position, whence);
  return pos < 0 ? -errno : pos;
}

int64_t TRawFile::Size() {
  struct stat st {};
  if (fstat(Fd, &st) != 0) return -errno;
  return st.st_size;
}

}  // namespace vidorant
