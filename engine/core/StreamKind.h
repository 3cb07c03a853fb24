// The media kinds a task's streams have, one numbering for the whole core, and the array that
// holds one value per kind. The order is the libraries' (AVMediaType), so a kind converts to
// and from the library's type without a table.
// Invariant: every per-kind value of the core lives in a TPerKind indexed by TStreamKind; kinds
// that carry no codec options (data) keep their slot, unused, rather than shifting the others.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

extern "C" {
#include <libavutil/avutil.h>
}

namespace vidorant {

enum class TStreamKind { Video = 0, Audio = 1, Data = 2, Subtitle = 3 };
inline constexpr size_t StreamKindCount = 4;

// The kinds an option can name a codec, tag, language or bitstream filter for.
inline constexpr std::array<TStreamKind, 3> CodedStreamKinds{TStreamKind::Video, TStreamKind::Audio,
                                                             TStreamKind::Subtitle};

static_assert(static_cast<int>(TStreamKind::Video) == AVMEDIA_TYPE_VIDEO &&
              static_cast<int>(TStreamKind::Audio) == AVMEDIA_TYPE_AUDIO &&
              static_cast<int>(TStreamKind::Data) == AVMEDIA_TYPE_DATA &&
              static_cast<int>(TStreamKind::Subtitle) == AVMEDIA_TYPE_SUBTITLE);

constexpr AVMediaType MediaTypeOf(TStreamKind kind) { return static_cast<AVMediaType>(kind); }

// The kind of a library media type; none for attachments and unknown types.
constexpr std::optional<TStreamKind> StreamKindOf(AVMediaType type) {
  if (type < AVMEDIA_TYPE_VIDEO || type > AVMEDIA_TYPE_SUBTITLE) return std::nullopt;
  return static_cast<TStreamKind>(type);
}

// One T per stream kind, reached only by kind.
template <class T>
class TPerKind {
public:
  constexpr TPerKind() = default;
  // Every kind starts with the same value.
  explicit constexpr TPerKind(const T& value) { FValues.fill(value); }

  constexpr T& operator[](TStreamKind kind) { return FValues[static_cast<size_t>(kind)]; }
  constexpr const T& operator[](TStreamKind kind) const { return FValues[static_cast<size_t>(kind)]; }

private:
  std::array<T, StreamKindCount> FValues{};
};

}  // namespace vidorant
