// The machinery behind the bound entry points. Every entry point is a process-wide pointer in
// namespace vidorant::ff, named like the export and typed from the FFmpeg 5.1 headers
// (decltype(&::name), without noexcept so that an unbound call can raise). Until its library is
// bound the pointer holds a placeholder that raises EAssertionFailed naming FFLoad, so an early
// call is a clear error and never a jump through a null pointer. An optional name that the
// library lacks is nullptr after binding; VIDORANT_FF_BOUND(name) tells whether a pointer holds
// the real function.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

#include "platform/DynamicLibrary.h"

namespace vidorant {

template <class F>
struct TStripNoexcept {
  using type = F;
};
template <class R, class... A>
struct TStripNoexcept<R (*)(A...) noexcept> {
  using type = R (*)(A...);
};
template <class R, class... A>
struct TStripNoexcept<R (*)(A..., ...) noexcept> {
  using type = R (*)(A..., ...);
};
// The pointer type of an entry point: the export's own type without noexcept.
template <class F>
using TEntryType = typename TStripNoexcept<F>::type;

// A name usable as a template argument, so that every placeholder knows whose it is.
template <std::size_t N>
struct TFixedName {
  constexpr TFixedName(const char (&text)[N]) { std::copy_n(text, N, Text); }
  char Text[N];
};

[[noreturn]] void RaiseUnboundEntryPoint(const char* name);

template <TFixedName Name, class F>
struct TUnbound;
template <TFixedName Name, class R, class... A>
struct TUnbound<Name, R (*)(A...)> {
  static R Call(A...) { RaiseUnboundEntryPoint(Name.Text); }
};
template <TFixedName Name, class R, class... A>
struct TUnbound<Name, R (*)(A..., ...)> {
  static R Call(A..., ...) { RaiseUnboundEntryPoint(Name.Text); }
};

#define VIDORANT_FF_TYPE(name) ::vidorant::TEntryType<decltype(&::name)>
#define VIDORANT_FF_PLACEHOLDER(name) (&::vidorant::TUnbound<#name, VIDORANT_FF_TYPE(name)>::Call)
// True when ff::name holds the library's function (not the placeholder, not nullptr).
#define VIDORANT_FF_BOUND(name) \
  (::vidorant::ff::name != nullptr && ::vidorant::ff::name != VIDORANT_FF_PLACEHOLDER(name))

enum class TEntryKind { ekRequired, ekOptional, ekVersion, ekVariable };

// One bindable name of a module. Store puts a resolved address (or nullptr) into the pointer,
// Reset puts the placeholder back. QueryVersion is set only for the version function.
struct TEntryPoint {
  const char* Name;
  TEntryKind Kind;
  void (*Store)(void* address);
  void (*Reset)();
  unsigned (*QueryVersion)();
};

// A binding module: the names of one library. ExpectedMajor is the major version of the headers
// we compiled against (-1 when the library has no version function).
struct TBindingModule {
  const char* Name;
  const TEntryPoint* Entries;
  std::size_t Count;
  int ExpectedMajor;
};

// Resolves every name of the module in the loaded library. Raises Exception with
// "Load function %s@%s error: %s" (or "Load variable ...") at the first required name that does
// not resolve; names bound before it stay bound until UnbindModule.
void BindModule(const TBindingModule& module, const std::string& fileName, TLibHandle library);
// Puts every placeholder back.
void UnbindModule(const TBindingModule& module);
// The library's version number (major << 16 | minor << 8 | micro), or -1 without a version
// function; only after BindModule succeeded.
long long ModuleVersion(const TBindingModule& module);

}  // namespace vidorant
