// Writes a set of GIF files made by real encoders into a directory.
// Usage: gif_corpus conformance|seeds|benchmark DIR
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "corpus.h"

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: gif_corpus conformance|seeds|benchmark DIR\n");
        return 2;
    }
    mkdir(argv[2], 0777);
    bool ok = strcmp(argv[1], "conformance") == 0 ? corpus::write_conformance(argv[2])
              : strcmp(argv[1], "seeds") == 0     ? corpus::write_fuzz_seeds(argv[2])
              : strcmp(argv[1], "benchmark") == 0 ? corpus::write_benchmark(argv[2])
                                                  : false;
    return ok ? 0 : 1;
}
