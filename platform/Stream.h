// The byte-stream abstraction the GIF library and bitmap files read and write through.
// Invariant: Position is never negative; Read/Write return how many bytes were transferred and
// report operating-system failures by exception, so a short count always means "end of data"
// (Read) and never hides an error.
#pragma once

#include <cstdint>

#include "platform/Exception.h"
#include "platform/TObject.h"

namespace vidorant {

// A stream that cannot do what was asked (bad position, short transfer, operation refused).
class EStreamError : public Exception {
public:
  using Exception::Exception;
};
class EReadError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
public:
  // Copies up to count bytes into buffer; returns the number copied (0 at the end of the data).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes up to count bytes; returns the number written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position and returns the new one. A resulting negative position raises
  // EStreamError; a position beyond the end is allowed (a later write extends the stream).
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  // The size of the data in bytes. The base measures it by seeking to the end and back.
  virtual int64_t GetSize();
  // Truncates or extends (with zero bytes) the stream. The base refuses.
  virtual void SetSize(int64_t newSize);

  int64_t GetPosition() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }

  // Read/Write that transfer exactly count bytes or raise EReadError / EWriteError.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);

  uint8_t ReadByte();
  void WriteByte(uint8_t value) { WriteBuffer(&value, 1); }

  // Copies count bytes from source at its position; count 0 copies the whole source from its
  // start. Returns the number of bytes copied; a short source raises EReadError.
  int64_t CopyFrom(TStream& source, int64_t count);
};

}  // namespace vidorant
