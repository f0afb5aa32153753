// The pixels a GIF asks for, adding up the image areas as the reader will
// walk the container: fuzzers pass over inputs that ask for too many, since
// decoding and encoding are linear in them and rows are allocated whole.
#ifndef GIFQVR_FUZZ_GIF_AREA_H
#define GIFQVR_FUZZ_GIF_AREA_H

#include <stddef.h>
#include <stdint.h>

namespace fuzzarea {

struct Cursor {
    const uint8_t *data;
    size_t size, pos;
    int take() { return pos < size ? data[pos++] : 0; }
    int take_int() {
        int lo = take();
        return lo | take() << 8;
    }
    void skip_sub_blocks() {
        for (int n; (n = take()) != 0;) pos += static_cast<size_t>(n);
    }
};

// Stops counting once the total passes limit.
inline uint64_t PixelsAsked(const uint8_t *data, size_t size, uint64_t limit) {
    Cursor c = {data, size, 6};
    c.pos += 4;
    int packed = c.take();
    c.pos += 2;
    if (packed & 0x80) c.pos += 3u << ((packed & 7) + 1);
    uint64_t total = 0;
    for (;;) {
        int intro = c.take();
        if (intro == 0x21) {
            c.take();
            c.skip_sub_blocks();
        } else if (intro == 0x2C) {
            c.pos += 4;
            uint64_t w = static_cast<uint64_t>(c.take_int());
            uint64_t h = static_cast<uint64_t>(c.take_int());
            int p = c.take();
            if (p & 0x80) c.pos += 3u << ((p & 7) + 1);
            total += w * h + h;
            if (total > limit) return total;
            c.take();
            c.skip_sub_blocks();
        } else {
            return total;
        }
    }
}

}  // namespace fuzzarea

#endif
