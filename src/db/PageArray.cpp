#include "PageArray.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace db::pages {

namespace {
size_t pageSize() {
    static const size_t size = size_t(sysconf(_SC_PAGESIZE));
    return size;
}

bool mapped(size_t bytes) {
    return bytes >= kMappedBytes;
}

void* map(size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return p;
}
} // namespace

size_t roundUp(size_t bytes) {
    if (!mapped(bytes)) return bytes;
    const size_t page = pageSize();
    return (bytes + page - 1) / page * page;
}

void* resize(void* p, size_t oldBytes, size_t newBytes, size_t usedBytes) {
    if (newBytes == 0) {
        release(p, oldBytes);
        return nullptr;
    }
#ifndef __SANITIZE_THREAD__
    // The race detector does not follow mremap: its build maps anew and copies below.
    if (mapped(oldBytes) && mapped(newBytes)) {
        void* q = mremap(p, oldBytes, newBytes, MREMAP_MAYMOVE);
        if (q == MAP_FAILED) throw std::bad_alloc();
        return q;
    }
#endif
    if (!mapped(oldBytes) && !mapped(newBytes)) {
        void* q = std::realloc(p, newBytes);
        if (!q) throw std::bad_alloc();
        return q;
    }
    void* q = mapped(newBytes) ? map(newBytes) : std::malloc(newBytes);
    if (!q) throw std::bad_alloc();
    if (usedBytes) std::memcpy(q, p, std::min(usedBytes, newBytes));
    release(p, oldBytes);
    return q;
}

void release(void* p, size_t bytes) {
    if (!p) return;
    if (mapped(bytes))
        munmap(p, bytes);
    else
        std::free(p);
}

} // namespace db::pages
