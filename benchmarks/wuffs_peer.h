/* The Wuffs GIF decoder as a benchmark contender: every frame of a file in
 * memory decoded into 8-bit palette indexes on a canvas of the screen's
 * size, canvas and work buffer allocated per file. */
#ifndef GIFQVR_BENCHMARKS_WUFFS_PEER_H
#define GIFQVR_BENCHMARKS_WUFFS_PEER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Frames decoded, or -1 on an error. */
int wuffs_peer_decode(const uint8_t *data, size_t size);

#ifdef __cplusplus
}
#endif

#endif
