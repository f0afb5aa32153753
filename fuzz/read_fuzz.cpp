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

#include "codec/gif.h"
#include "tests/support/large_blocks.h"
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

// Each input makes a row decoder, one large block, per image: under
// qemu-i386 large blocks are kept for reuse.
extern "C" void *__wrap_calloc(size_t n, size_t size) {
    size_t bytes;
    (void)__builtin_mul_overflow(n, size, &bytes);  // calloc itself refuses an overflow
    if (refuse(bytes)) return NULL;
    return large_blocks_calloc(n, size);
}
extern "C" void *__wrap_realloc(void *p, size_t size) {
    if (refuse(size)) return NULL;
    return large_blocks_realloc(p, size);
}
extern "C" void __wrap_free(void *p) { large_blocks_free(p); }

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
