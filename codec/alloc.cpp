/* The codec's heap: zero-filled blocks released with free(). */
#include <stdlib.h>

#include "codec/gif.h"

/* Zero bytes still give a block of their own, so that null always means an
 * exhausted heap (calloc and realloc may answer 0 bytes with null). */
void *gif_alloc(int32_t size) {
    if (size < 0) return NULL;
    return calloc(size > 0 ? (size_t)size : 1, 1);
}

void *app_realloc(void *pointer, int32_t size) {
    if (size < 0) return NULL;
    return realloc(pointer, size > 0 ? (size_t)size : 1);
}
