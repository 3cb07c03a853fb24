// The replaced global operator new and delete of the test program: malloc and free, recording
// the largest request. Aligned forms are left to the library; they pair among themselves.
#include "AllocationProbe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> Largest{0};

void* Allocate(size_t size) {
  size_t seen = Largest.load(std::memory_order_relaxed);
  while (size > seen && !Largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
  }
  return std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrThrow(size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}

}  // namespace

namespace vidorant::testing {

void ResetLargestAllocation() { Largest.store(0, std::memory_order_relaxed); }
size_t LargestAllocation() { return Largest.load(std::memory_order_relaxed); }

}  // namespace vidorant::testing

void* operator new(size_t size) { return AllocateOrThrow(size); }
void* operator new[](size_t size) { return AllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
