#include "bench/html/HeapCounter.h"

#include <malloc.h>

#include <cerrno>
#include <cstring>

// glibc's own entry points: the replacements below count and pass on.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t n, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);
}

namespace {

// The benchmark is single-threaded; plain counters suffice.
size_t inUse = 0;
size_t peak = 0;

inline void Added(void* p) {
  if (!p)
    return;
  inUse += malloc_usable_size(p);
  if (inUse > peak)
    peak = inUse;
}

inline void Removed(void* p) {
  if (p)
    inUse -= malloc_usable_size(p);
}

}  // namespace

extern "C" {

void* malloc(size_t size) {
  void* p = __libc_malloc(size);
  Added(p);
  return p;
}

void* calloc(size_t n, size_t size) {
  void* p = __libc_calloc(n, size);
  Added(p);
  return p;
}

void* realloc(void* old, size_t size) {
  Removed(old);
  void* p = __libc_realloc(old, size);
  if (p)
    Added(p);
  else if (old && size)
    Added(old);  // the old block stays when realloc fails
  return p;
}

void free(void* p) {
  Removed(p);
  __libc_free(p);
}

void* memalign(size_t alignment, size_t size) {
  void* p = __libc_memalign(alignment, size);
  Added(p);
  return p;
}

void* aligned_alloc(size_t alignment, size_t size) {
  return memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
  void* p = memalign(alignment, size);
  if (!p)
    return ENOMEM;
  *out = p;
  return 0;
}

}  // extern "C"

namespace quellion::bench {

size_t HeapInUse() {
  return inUse;
}
void ResetHeapPeak() {
  peak = inUse;
}
size_t HeapPeak() {
  return peak;
}

}  // namespace quellion::bench
