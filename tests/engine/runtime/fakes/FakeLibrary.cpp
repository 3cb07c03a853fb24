// A stand-in for one media library, built by the tests: it exports every name of one binding
// module's names file (FAKE_NAMES) as a function that does nothing, and the module's version
// function returning FAKE_MAJOR in the libraries' encoding (major << 16). A linker version
// script may hide single names to make a library that lacks them.
#define VIDORANT_FF_FUNCTION(name) \
  extern "C" void name() {}
#define VIDORANT_FF_OPTIONAL(name) VIDORANT_FF_FUNCTION(name)
#define VIDORANT_FF_VERSION(name) \
  extern "C" unsigned name() { return static_cast<unsigned>(FAKE_MAJOR) << 16; }
#include FAKE_NAMES

// An exported variable, for binding names of the variable kind.
extern "C" {
int fake_exported_variable = 7;
}
