#include "heap_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

// Kept in a file of its own so the compiler never sees these next to their
// callers: inlined there, GCC takes free() of operator new's memory for a
// mismatch.
namespace {
std::atomic<long long> gAllocations{0};
std::atomic<long long> gBytes{0};
}  // namespace

void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    gBytes.fetch_add(static_cast<long long>(size), std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace tolvane::bench {

long long HeapAllocations() {
    return gAllocations.load(std::memory_order_relaxed);
}
long long HeapBytesAllocated() {
    return gBytes.load(std::memory_order_relaxed);
}

}  // namespace tolvane::bench
