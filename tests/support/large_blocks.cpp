#include "tests/support/large_blocks.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <sanitizer/asan_interface.h>

extern "C" void *__real_calloc(size_t n, size_t size);
extern "C" void *__real_realloc(void *block, size_t size);
extern "C" void __real_free(void *block);

namespace {

#if defined(__i386__)
const bool kKeeping = true;
#else
const bool kKeeping = false;
#endif
const size_t kLargeBlock = 128u << 10;  // from here on ASan maps each block

struct Parked {
    void *block;
    size_t size;
    bool in_use;
};
Parked parked[16];  // room for every size a load or a save takes

Parked *parked_block(const void *p) {
    for (Parked &k : parked)
        if (k.block && k.block == p) return &k;
    return nullptr;
}

}  // namespace

void *large_blocks_calloc(size_t n, size_t size) {
    size_t bytes;
    if (!kKeeping || __builtin_mul_overflow(n, size, &bytes) || bytes < kLargeBlock)
        return __real_calloc(n, size);
    for (Parked &k : parked)
        if (k.block && !k.in_use && k.size == bytes) {
            ASAN_UNPOISON_MEMORY_REGION(k.block, bytes);
            memset(k.block, 0, bytes);
            k.in_use = true;
            return k.block;
        }
    void *p = __real_calloc(1, bytes);
    if (p)
        for (Parked &k : parked)
            if (!k.block) {
                k = Parked{p, bytes, true};
                break;
            }
    return p;
}

void *large_blocks_realloc(void *block, size_t size) {
    if (Parked *k = parked_block(block)) {
        if (!k->in_use) abort();  // resized after it was freed
        *k = Parked{};            // the block leaves the pool
    }
    return __real_realloc(block, size);
}

void large_blocks_free(void *block) {
    Parked *k = parked_block(block);
    if (!k) {
        __real_free(block);
    } else if (k->in_use) {
        k->in_use = false;
        ASAN_POISON_MEMORY_REGION(block, k->size);
    } else {
        abort();  // freed twice
    }
}
