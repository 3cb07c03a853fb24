// The engine's own I/O protocols. FFmpeg 5.1 cannot take new protocols, so a name whose scheme
// (the text before the first ":") is registered here is opened by the engine itself as a custom
// AVIOContext (EngineIO.h) whose reads, writes and seeks are the protocol's operations.
// Invariant: registered records are never removed and must outlive the process's I/O.
#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
}

namespace vidorant {

struct TProtocolConnection;

// Operations use the results of the library's protocol interface: 0 or a byte count for
// success, 0 from Read at end of file, negative for failure (AVERROR_EXIT when the
// connection's interrupt callback ended a wait).
struct TProtocol {
  const char* Name;
  // flags: AVIO_FLAG_READ, AVIO_FLAG_WRITE or both.
  int (*Open)(TProtocolConnection* connection, const char* name, int flags);
  int (*Read)(TProtocolConnection* connection, uint8_t* buffer, int size);
  int (*Write)(TProtocolConnection* connection, const uint8_t* buffer, int size);
  // whence: SEEK_SET, SEEK_CUR, SEEK_END or AVSEEK_SIZE (returns the size).
  int64_t (*Seek)(TProtocolConnection* connection, int64_t position, int whence);
  // Releases what Open acquired; called once for every successful Open.
  int (*Close)(TProtocolConnection* connection);
};

struct TProtocolConnection {
  const TProtocol* Protocol = nullptr;
  void* PrivData = nullptr;  // the protocol's per-connection state, owned by the protocol
  AVIOInterruptCB InterruptCallback{nullptr, nullptr};
};

// Adds the record unless a protocol of the same name is registered; returns the registered one.
const TProtocol* RegisterProtocol(const TProtocol* protocol);

// Walks the registry: nullptr gives the first record; the last gives nullptr.
const TProtocol* NextProtocol(const TProtocol* previous);

// The record whose name is the scheme of the given name, or nullptr.
const TProtocol* FindProtocolForName(const std::string& name);

}  // namespace vidorant
