// Opening a name as a byte stream (AVIOContext) the way the engine does for its inputs and
// outputs: a name whose scheme is one of the engine's own protocols ("unicode:utf8:...") is
// served by that protocol through a custom AVIOContext; every other name goes to avio_open2.
// Both get the engine's interrupt callback, so a stopped task never stays blocked in them.
// A format context that uses such a stream must be flagged AVFMT_FLAG_CUSTOM_IO: the stream
// belongs to its TEngineIO, not to the format context.
#pragma once

#include <memory>
#include <string>

#include "engine/runtime/FFPtr.h"

namespace vidorant {

struct TProtocol;
struct TProtocolConnection;

class TEngineIO {
public:
  ~TEngineIO();  // closes the stream if Close was not called
  TEngineIO(const TEngineIO&) = delete;
  TEngineIO& operator=(const TEngineIO&) = delete;

  AVIOContext* Context() const { return FCustom ? FCustom.get() : FOpened.get(); }
  // Flushes what was written and closes: 0, or the library error of the flush or close (a
  // write error must not end as success). The stream is gone afterwards either way.
  int Close();

private:
  friend int OpenEngineIO(const std::string&, int, AVDictionary**, std::unique_ptr<TEngineIO>&);
  TEngineIO();

  // Exactly one of the two holds the stream while it is open.
  TOpenedIOContextPtr FOpened;
  TCustomIOContextPtr FCustom;
  std::unique_ptr<TProtocolConnection> FConnection;  // the protocol's side of FCustom
};

// Opens the name (in library form, see FileNameToLib) with AVIO_FLAG_READ and/or
// AVIO_FLAG_WRITE. Result 0 with io holding the open stream, or a negative library error with io
// empty. options (may be null) go to avio_open2; the engine's protocols take none.
int OpenEngineIO(const std::string& libName, int flags, AVDictionary** options,
                 std::unique_ptr<TEngineIO>& io);

// Opens an input the way the engine reads its files: a "unicode:utf8:" name or a file-system
// name (no protocol scheme, or "file:") through the engine's own byte stream, whose waits (a
// named pipe without a writer) poll the interrupt check where the library's would block in the
// system call. A name with another scheme is left to the library: result 0 with io empty.
// Otherwise as OpenEngineIO for reading.
int OpenEngineInput(const std::string& libName, std::unique_ptr<TEngineIO>& io);

}  // namespace vidorant
