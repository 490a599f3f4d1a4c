#include "heap_meter.h"

#include <atomic>

#include <malloc.h>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {

std::atomic<std::size_t> live{0};
std::atomic<std::size_t> peak{0};

void Add(void* p) {
    if (!p)
        return;
    const std::size_t now = live.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
    std::size_t seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
}

void Remove(void* p) {
    if (p)
        live.fetch_sub(malloc_usable_size(p));
}

} // namespace

extern "C" {

void* malloc(size_t size) {
    void* p = __libc_malloc(size);
    Add(p);
    return p;
}

void* calloc(size_t n, size_t size) {
    void* p = __libc_calloc(n, size);
    Add(p);
    return p;
}

void* realloc(void* old, size_t size) {
    Remove(old);
    void* p = __libc_realloc(old, size);
    Add(p ? p : (size ? old : nullptr));
    return p;
}

void free(void* p) {
    Remove(p);
    __libc_free(p);
}

void* memalign(size_t alignment, size_t size) {
    void* p = __libc_memalign(alignment, size);
    Add(p);
    return p;
}

void* aligned_alloc(size_t alignment, size_t size) {
    return memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
    *out = memalign(alignment, size);
    return *out ? 0 : 12;
}

} // extern "C"

namespace heap_meter {
std::size_t Live() {
    return live.load();
}
std::size_t Peak() {
    return peak.load();
}
void ResetPeak() {
    peak.store(live.load());
}
} // namespace heap_meter
