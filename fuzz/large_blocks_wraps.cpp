// Linked with --wrap=calloc,realloc,free into the fuzz trees' build of the
// plug-in (which the script fuzzer loads) and into the round-trip fuzzer:
// their heap is one that under qemu-i386 keeps large blocks for reuse
// (tests/support/large_blocks.h), as every load and save takes some.
#include "tests/support/large_blocks.h"

extern "C" void *__wrap_calloc(size_t count, size_t size) { return large_blocks_calloc(count, size); }
extern "C" void *__wrap_realloc(void *block, size_t size) { return large_blocks_realloc(block, size); }
extern "C" void __wrap_free(void *block) { large_blocks_free(block); }
