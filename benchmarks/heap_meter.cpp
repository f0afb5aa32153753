#include "heap_meter.h"

#include <malloc.h>
#include <stdlib.h>

namespace {
bool on = false;
long long now = 0, top = 0;

void add(void *p) {
    if (!on || !p) return;
    now += (long long)malloc_usable_size(p);
    if (now > top) top = now;
}
void sub(void *p) {
    if (on && p) now -= (long long)malloc_usable_size(p);
}
}  // namespace

extern "C" void *__real_calloc(size_t n, size_t size);
extern "C" void *__real_malloc(size_t size);
extern "C" void *__real_realloc(void *p, size_t size);
extern "C" void __real_free(void *p);

extern "C" void *__wrap_calloc(size_t n, size_t size) {
    void *p = __real_calloc(n, size);
    add(p);
    return p;
}
extern "C" void *__wrap_malloc(size_t size) {
    void *p = __real_malloc(size);
    add(p);
    return p;
}
extern "C" void *__wrap_realloc(void *p, size_t size) {
    long long before = p && on ? (long long)malloc_usable_size(p) : 0;
    void *q = __real_realloc(p, size);
    if (q || size == 0) now -= before;  // the old block is gone
    add(q);
    return q;
}
extern "C" void __wrap_free(void *p) {
    sub(p);
    __real_free(p);
}

namespace heap_meter {
void start() {
    now = top = 0;
    on = true;
}
void stop() { on = false; }
long long held() { return now; }
long long peak() { return top; }
}  // namespace heap_meter
