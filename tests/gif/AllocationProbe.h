// Watches the size of the largest single allocation made through operator new, so that a test
// can show that a hostile file was refused before its claimed size was allocated (a limit
// checked after the allocation would pass any test that looks only at the error).
// The test program replaces the global operator new and delete (AllocationProbe.cpp); every
// allocation still goes through malloc, so the sanitizers see them all.
#pragma once

#include <cstddef>

namespace vidorant::testing {

// Starts a new watch: the largest allocation is counted from now.
void ResetLargestAllocation();
// The largest size asked of operator new since the last reset, in bytes.
size_t LargestAllocation();

}  // namespace vidorant::testing
