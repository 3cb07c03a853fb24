// Opening an input file the way every engine component does (the decoder component and the
// transcoding task): into a context the caller allocated and prepared, with the libraries'
// non-blocking flag and the engine's interrupt callback, the name converted for the libraries,
// and files read through the engine's own byte stream, so that a wait on a pipe polls the
// calling thread's interrupt check instead of blocking in a system call.
// Invariant: on success the opened input owns its context and the byte stream under it, and the
// context goes first; on failure nothing is left open and the error text says why.
#pragma once

#include <memory>
#include <string>

#include "engine/runtime/EngineIO.h"
#include "engine/runtime/FFPtr.h"

namespace vidorant {

// A context from avformat_alloc_context that was not opened yet (freed, not closed).
using TUnopenedInputPtr = TFormatContextPtr;

// An opened input: the demuxer context and, when the engine opened the file itself, the byte
// stream it reads from, which outlives the context.
struct TOpenedInput {
  TOpenedInput();
  ~TOpenedInput();
  TOpenedInput(TOpenedInput&&) noexcept;
  TOpenedInput& operator=(TOpenedInput&&) noexcept;

  std::unique_ptr<TEngineIO> IO;
  TInputFormatContextPtr Context;  // declared after IO, so destroyed before it
  std::string LibName;             // the name as the libraries got it
};

// Allocates an empty context for OpenInput; null when memory runs out.
TUnopenedInputPtr AllocInputContext();

// Opens fileName (UTF-8) into context, which it takes over (freed on failure), with the forced
// format (or detection when null) and the demuxer parameters (may be null; the libraries take
// the ones they use and leave the rest). Result 0 with input filled, or a negative library error
// with input empty and error set to the text to report: the library's text for the file, or the
// refusal of a name too long for the libraries.
int OpenInput(TUnopenedInputPtr context, const std::string& fileName, const AVInputFormat* format,
              AVDictionary** parameters, TOpenedInput& input, std::string& error);

}  // namespace vidorant
