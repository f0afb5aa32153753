// A heap for programs and plug-in builds under qemu-i386 that keeps large
// blocks for reuse. There every block from ASan's large-block allocator
// takes address space that qemu hands out again only to a block of the same
// size, and a process that frees blocks of mixed sizes runs out after some
// thousand of them. So a large block that is freed waits, poisoned (a use
// after free still reports), for the next request of its size; elsewhere
// these are calloc, realloc and free.
//
// For a link with --wrap=calloc,realloc,free: the blocks come from the
// __real_ functions.
#ifndef GIFQVR_TESTS_SUPPORT_LARGE_BLOCKS_H
#define GIFQVR_TESTS_SUPPORT_LARGE_BLOCKS_H

#include <stddef.h>

void *large_blocks_calloc(size_t n, size_t size);
void *large_blocks_realloc(void *block, size_t size);
void large_blocks_free(void *block);

#endif
