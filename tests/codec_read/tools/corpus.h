// GIF files made by real encoders (giflib's, ImageMagick's, gifsicle's)
// for the reader's conformance test, its fuzzer seeds and its benchmark.
#ifndef GIFQVR_TESTS_CODEC_READ_CORPUS_H
#define GIFQVR_TESTS_CODEC_READ_CORPUS_H

#include <string>

namespace corpus {

// Each writes its files into `dir` (which must exist) and reports failure
// on stderr with a false result.
bool write_conformance(const std::string &dir);
bool write_fuzz_seeds(const std::string &dir);
bool write_benchmark(const std::string &dir);

}  // namespace corpus

#endif
