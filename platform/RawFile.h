// A file opened by name with the operating system's own calls, for code that must open any
// name the system accepts (the engine's "unicode" protocol). Waits that can last forever (a
// named pipe with no partner yet, a pipe with no data) poll an abort check, so another thread
// can end them; plain files never wait.
// Invariant: a TRawFile always holds an open descriptor until it is destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vidorant {

enum class TFileAccess { Read, Write, ReadWrite };

// Returns true when a blocked operation should give up.
using TAbortCheck = std::function<bool()>;

class TRawFile {
public:
  // Result: 0, a negated errno value, or RawFileAborted when the abort check ended the wait.
  // Write and ReadWrite create the file or truncate an existing one; other processes may read
  // it meanwhile. A folder is refused with -EISDIR whatever the access.
  static int Open(const std::string& name, TFileAccess access, const TAbortCheck& abort,
                  std::unique_ptr<TRawFile>& file);
  ~TRawFile();
  TRawFile(const TRawFile&) = delete;
  TRawFile& operator=(const TRawFile&) = delete;

  // One read of at most size bytes: bytes read, 0 at end of file, a negated errno value or
  // RawFileAborted.
  int64_t Read(void* buffer, size_t size, const TAbortCheck& abort);
  // One write: bytes written (may be fewer than size), a negated errno value or RawFileAborted.
  int64_t Write(const void* buffer, size_t size, const TAbortCheck& abort);
  // whence: SEEK_SET, SEEK_CUR, SEEK_END. The new position or a negated errno value.
  int64_t Seek(int64_t position, int whence);
  // Size in bytes or a negated errno value.
  int64_t Size();

private:
  TRawFile(int fd, bool pollable) : Fd(fd), Pollable(pollable) {}
  int Fd;
  bool Pollable;  // a pipe or socket opened non-blocking: waits go through poll
};

// The result of an operation that the abort check ended.
constexpr int RawFileAborted = -1000000;

}  // namespace vidorant
