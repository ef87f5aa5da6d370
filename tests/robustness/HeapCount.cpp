// Bytes in use on the heap, counted exactly. glibc's own figures count the
// small blocks each thread keeps for reuse as still in use, which moves them
// by tens of kilobytes from one moment to the next; so this program's
// allocations pass through here and are counted as they are made and freed.
// The sanitizer build has its allocator's exact count instead.

#include "HeapCount.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZUB_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZUB_ASAN 1
#endif
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <thread>

#include <malloc.h>

#ifdef ZUB_ASAN
// The sanitizer's allocator statistics (GCC ships no header for them).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();

namespace zub::robust {
long long HeapInUse() {
  // The allocator adds up its threads' counts without stopping them; when
  // the sum comes out below zero it answers 1. Such an answer says nothing:
  // ask again.
  std::size_t bytes = __sanitizer_get_current_allocated_bytes();
  for (int tries = 0; bytes <= 1 && tries < 1000; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    bytes = __sanitizer_get_current_allocated_bytes();
  }
  return static_cast<long long>(bytes);
}
} // namespace zub::robust

#else

// glibc's allocator under its exported second names.
extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *block, std::size_t size);
void *__libc_memalign(std::size_t alignment, std::size_t size);
void *__libc_valloc(std::size_t size);
void *__libc_pvalloc(std::size_t size);
void __libc_free(void *block);
}

namespace {

std::atomic<long long> gInUse{0};

void *Counted(void *block) {
  if (block != nullptr)
    gInUse.fetch_add(static_cast<long long>(::malloc_usable_size(block)),
                     std::memory_order_relaxed);
  return block;
}

void Uncount(void *block) {
  if (block != nullptr)
    gInUse.fetch_sub(static_cast<long long>(::malloc_usable_size(block)),
                     std::memory_order_relaxed);
}

} // namespace

extern "C" {

void *malloc(std::size_t size) noexcept {
  return Counted(__libc_malloc(size));
}

void *calloc(std::size_t count, std::size_t size) noexcept {
  return Counted(__libc_calloc(count, size));
}

void *realloc(void *block, std::size_t size) noexcept {
  // Counted as before until glibc has answered: a failed realloc keeps the block.
  const long long before =
      block != nullptr ? static_cast<long long>(::malloc_usable_size(block)) : 0;
  void *moved = __libc_realloc(block, size);
  if (moved == nullptr && size != 0)
    return nullptr;
  gInUse.fetch_sub(before, std::memory_order_relaxed);
  return Counted(moved);
}

void free(void *block) noexcept {
  Uncount(block);
  __libc_free(block);
}

void *memalign(std::size_t alignment, std::size_t size) noexcept {
  return Counted(__libc_memalign(alignment, size));
}

void *aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
  return Counted(__libc_memalign(alignment, size));
}

void *valloc(std::size_t size) noexcept {
  return Counted(__libc_valloc(size));
}

void *pvalloc(std::size_t size) noexcept {
  return Counted(__libc_pvalloc(size));
}

int posix_memalign(void **out, std::size_t alignment, std::size_t size) noexcept {
  if (alignment % sizeof(void *) != 0 || (alignment & (alignment - 1)) != 0)
    return EINVAL;
  void *block = Counted(__libc_memalign(alignment, size));
  if (block == nullptr)
    return ENOMEM;
  *out = block;
  return 0;
}

} // extern "C"

namespace zub::robust {
long long HeapInUse() {
  return gInUse.load(std::memory_order_relaxed);
}
} // namespace zub::robust

#endif
