// Linked into the test build of the plug-in only (cmake/failing_heap.cmake).
// The linker's --wrap sends every calloc and realloc of the plug-in here,
// and each asks the program that loaded it (through a switch that program
// exports, tests/support/refusals.cpp) whether the heap is to run out now.
// Without the switch, as in any other program, nothing is refused. What is
// granted comes from a heap that under qemu-i386 keeps large blocks for
// reuse (tests/support/large_blocks.h), so free is wrapped too.
#include <dlfcn.h>
#include <stddef.h>

#include "tests/support/large_blocks.h"

namespace {

using RefuseProc = int (*)(void);

// Looked up at the first allocation; zero-initialised, so nothing runs at load.
RefuseProc gRefuse;
bool gLookedUp;

bool Refuses()
{
    if (!gLookedUp) {
        gRefuse = reinterpret_cast<RefuseProc>(dlsym(RTLD_DEFAULT, "heap_exhaustion_refuses"));
        gLookedUp = true;
    }
    return gRefuse && gRefuse() != 0;
}

}  // namespace

extern "C" void *__wrap_calloc(size_t count, size_t size)
{
    return Refuses() ? nullptr : large_blocks_calloc(count, size);
}

extern "C" void *__wrap_realloc(void *block, size_t size)
{
    return Refuses() ? nullptr : large_blocks_realloc(block, size);
}

extern "C" void __wrap_free(void *block)
{
    large_blocks_free(block);
}
