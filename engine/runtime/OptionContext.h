// A task's store of generic options: every option name the transcoding core does not know
// itself is routed here to the libraries' codec, format or scaler option tables, checked at once
// and kept in order, to be applied to the real contexts when they exist (ApplyOptions).
// Invariant: the seven option contexts exist between InitOptions and FreeOptions; each stored
// option has been accepted by one of them or by some codec's or muxer's private options.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/runtime/FFPtr.h"
#include "engine/runtime/ScalerFlags.h"

namespace vidorant {

// One accepted option. Value is empty when an option context took the option (its text is read
// back from that context when applied); it holds the given text for a private codec or muxer
// option, which can only be set once the codec or muxer is known.
struct TStoredOption {
  std::string Name;
  std::optional<std::string> Value;
};

// Media types in the libraries' order, which index CodecOptions.
constexpr int OptionMediaTypes = 5;  // video, audio, data, subtitle, attachment

struct OptionContext {
  std::vector<TStoredOption> Options;
  TCodecContextPtr CodecOptions[OptionMediaTypes];
  TFormatContextPtr FormatOptions;
  TSwsContextPtr ScalerOptions;
};

// Frees anything held, then creates the seven option contexts; the scaler context with the given
// scaler flags. Throws Exception when the libraries cannot make them.
void InitOptions(OptionContext& options, TScalerFlags scalerFlags);

// Releases the option contexts and forgets the stored options.
void FreeOptions(OptionContext& options);

// Routes name=value to the option tables (see OptionContext.cpp). False for a name that is
// blank, unknown or given an invalid value; the last two log an error line through the library
// log and set LastUtilsError().
bool SetOption(OptionContext& options, const char* name, const char* value);

// Applies the stored options to a codec or format context: an option the source option context
// has is copied from it when every bit of flagMask is set in the option's flags; an option only
// the target's private options have (the codec's, given as codec, or the output format's) gets
// its stored text.
void ApplyOptions(const OptionContext& options, void* target, void* source, int flagMask,
                  const AVCodec* codec);

}  // namespace vidorant
