// Heap accounting for the benchmarks: calloc, malloc, realloc and free of
// the program's own objects (the codec among them) are wrapped at link time
// and counted by usable block size while metering is on.
#ifndef GIFQVR_BENCHMARKS_HEAP_METER_H
#define GIFQVR_BENCHMARKS_HEAP_METER_H

#include <stddef.h>

namespace heap_meter {

// Starts counting from zero; the peak is reset too.
void start();
void stop();
// Bytes held now and at most since start().
long long held();
long long peak();

}  // namespace heap_meter

#endif
