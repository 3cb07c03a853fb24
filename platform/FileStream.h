// A stream on a file of the file system, named in UTF-8. Owns its descriptor and closes it in
// the destructor. Open failures raise EFOpenError / EFCreateError naming the file and the
// system's reason; read and write failures of the system raise EReadError / EWriteError.
#pragma once

#include <string>

#include "platform/Stream.h"

namespace vidorant {

class EFOpenError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

enum TFileMode {
  fmOpenRead,       // existing file, read only
  fmOpenWrite,      // existing file, write only
  fmOpenReadWrite,  // existing file, both
  fmCreate,         // create or replace (truncate), read and write
};

class TFileStream : public TStream {
public:
  TFileStream(const std::string& fileName, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t newSize) override;

  const std::string& FileName() const { return FFileName; }

private:
  std::string FFileName;
  int FHandle = -1;
};

}  // namespace vidorant
