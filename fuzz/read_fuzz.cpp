// Reads arbitrary bytes as a GIF file from memory. Besides crashes, leaks
// and sanitizer reports it fails when the records differ from those of the
// plain stack-based decoder, or of the exported row-by-row decoder.
//
// The heap is capped per input (calloc, realloc and free are wrapped for
// this program), so that a declared giant image meets the exhausted-heap
// path instead of the machine's memory; such an input is only read, not
// compared.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <sanitizer/asan_interface.h>

#include "codec/gif.h"
#include "tests/codec_read/support.h"

namespace {

const size_t kHeapCap = 256u << 10;
bool capped = false;
size_t given = 0;

bool refuse(size_t bytes) {
    if (!capped) return false;
    given += bytes;
    return given > kHeapCap;
}

void expect_same(const Gif *ours, const Gif *other, const char *what) {
    std::string difference = readtest::gif_difference(ours, other);
    if (difference.empty()) return;
    fprintf(stderr, "differs from %s: %s\n", what, difference.c_str());
    abort();
}

}  // namespace

extern "C" void *__real_calloc(size_t n, size_t size);
extern "C" void *__real_realloc(void *p, size_t size);
extern "C" void __real_free(void *p);

namespace {

// Under qemu-i386 every block from ASan's large-block allocator takes
// address space that qemu never hands out again, and a process runs out
// after some thousand of them. Each input makes a row decoder, one such
// block, per image; so there a large block that is freed waits, poisoned
// (a use after free still reports), for the next request of its size.
#if defined(__i386__)
const size_t kLargeBlock = 128u << 10;
#else
const size_t kLargeBlock = SIZE_MAX;
#endif
struct Parked {
    void *block;
    size_t size;
    bool in_use;
};
Parked parked[8];

Parked *parked_block(const void *p) {
    for (Parked &k : parked)
        if (k.block && k.block == p) return &k;
    return NULL;
}

void *large_calloc(size_t bytes) {
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

}  // namespace

extern "C" void *__wrap_calloc(size_t n, size_t size) {
    size_t bytes;
    bool overflow = __builtin_mul_overflow(n, size, &bytes);
    if (refuse(bytes)) return NULL;
    return !overflow && bytes >= kLargeBlock ? large_calloc(bytes) : __real_calloc(n, size);
}
extern "C" void *__wrap_realloc(void *p, size_t size) {
    if (refuse(size)) return NULL;
    if (Parked *k = parked_block(p)) {
        if (!k->in_use) abort();  // resized after it was freed
        *k = Parked{};            // the block leaves the pool
    }
    return __real_realloc(p, size);
}
extern "C" void __wrap_free(void *p) {
    Parked *k = parked_block(p);
    if (!k) {
        __real_free(p);
    } else if (k->in_use) {
        k->in_use = false;
        ASAN_POISON_MEMORY_REGION(p, k->size);
    } else {
        abort();  // freed twice
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    readtest::Bytes bytes(data, data + size);
    given = 0;
    capped = true;
    readtest::GifPtr first = readtest::read_memory(bytes, true);
    given = 0;
    readtest::GifPtr ours = readtest::read_memory(bytes);
    capped = false;
    if (given > kHeapCap) return 0;
    expect_same(ours.get(), readtest::reference_read(bytes).get(), "the plain decoder");
    expect_same(ours.get(), readtest::read_row_by_row(bytes).get(), "row-by-row decoding");
    if (first && first->block_count > ours->block_count) abort();
    return 0;
}
