// giflib as a benchmark contender: decoding a file in memory with
// DGifSlurp, encoding a decoded file again with EGifPutLine per row.
#ifndef GIFQVR_BENCHMARKS_PEERS_H
#define GIFQVR_BENCHMARKS_PEERS_H

#include <gif_lib.h>

#include <vector>

namespace peers {

GifFileType *giflib_decode(const std::vector<unsigned char> &bytes);
void giflib_close(GifFileType *g);
// The decoded file written again into `out`; false on an error.
bool giflib_encode(GifFileType *in, std::vector<unsigned char> &out);

}  // namespace peers

#endif
