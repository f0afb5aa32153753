// The codec against its peers, interleaved in one run: decoding from memory
// (ours, giflib's DGifSlurp, Wuffs), ours through a FILE and with the
// exported row decoder, encoding (ours, giflib's EGifPutLine), and the heap
// a load holds and needs at its peak.
//
// Usage: codec_bench [corpus-dir] [rounds]
// Every figure is a wall-clock median over the rounds; each ratio is the
// median of the ratios of one round's paired runs, not a ratio of medians.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "benchmarks/heap_meter.h"
#include "benchmarks/peers.h"
#include "benchmarks/timing.h"
#include "benchmarks/wuffs_peer.h"
#include "codec/gif.h"

#ifndef GIFQVR_CORPUS_DIR
#define GIFQVR_CORPUS_DIR "corpus"
#endif

namespace {

using Bytes = std::vector<unsigned char>;

using bench::median;
using bench::now;

Bytes load(const std::string &path) {
    Bytes bytes;
    if (FILE *f = fopen(path.c_str(), "rb")) {
        unsigned char chunk[65536];
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
        fclose(f);
    }
    return bytes;
}

Gif *ours_from_memory(const Bytes &bytes) {
    GifStream s = {bytes.data(), (int32_t)bytes.size(), 0, NULL};
    Gif *gif = new_gif();
    read_gif(&s, gif);
    return gif;
}

Gif *ours_from_file(const std::string &path) {
    FILE *f = fopen(path.c_str(), "rb");
    GifStream s = {NULL, 0, 0, f};
    Gif *gif = new_gif();
    read_gif(&s, gif);
    fclose(f);
    return gif;
}

int take(GifStream *s) { return s->stream_pos < s->stream_size ? s->stream_data[s->stream_pos++] : 0; }

// The way a caller of the exported row decoder reads a file: the container
// with the single-structure readers, each image with init_gif_decoder and
// one read_gif_line per row into its own rows, kept from file to file; a
// row is cleared just before it is decoded, as the decoder expects zeros
// where a defect leaves pixels out. Returns a sum of the pixels.
unsigned long ours_by_rows(const Bytes &bytes, Bytes &rows) {
    GifStream s = {bytes.data(), (int32_t)bytes.size(), 6, NULL};
    GifScreen *screen = new_gif_screen();
    read_gif_screen(&s, screen);
    del_gif_screen(screen);
    unsigned long sum = 0;
    for (int intro; (intro = take(&s)) == 0x21 || intro == 0x2C;) {
        if (intro == 0x21) {
            GifExtension *e = new_gif_extension();
            read_gif_extension(&s, e);
            del_gif_extension(e);
            continue;
        }
        int32_t left = read_gif_int(&s), top = read_gif_int(&s);
        int32_t width = read_gif_int(&s), height = read_gif_int(&s);
        (void)left;
        (void)top;
        int packed = take(&s);
        if (packed & 0x80) {
            GifPalette *p = new_gif_palette();
            p->length = 1 << ((packed & 7) + 1);
            read_gif_palette(&s, p);
            del_gif_palette(p);
        }
        rows.resize((size_t)width * (size_t)height);
        GifDecoder *d = new_gif_decoder();
        init_gif_decoder(&s, d);
        static const int32_t start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        int passes = packed & 0x40 ? 4 : 1;
        for (int p = 0; width > 0 && p < passes; p++)
            for (int32_t r = passes > 1 ? start[p] : 0; r < height; r += passes > 1 ? step[p] : 1) {
                unsigned char *row = rows.data() + (size_t)r * (size_t)width;
                memset(row, 0, (size_t)width);
                read_gif_line(&s, d, row, width);
            }
        if (!d->blocks_done)
            while (GifData *data = read_gif_data(&s)) del_gif_data(data);
        del_gif_decoder(d);
        for (size_t i = 0; i < rows.size(); i += 61) sum += rows[i];
    }
    return sum;
}

// Into `out`, kept from call to call as giflib's output vector is: a FILE
// whose writes append to it, so that neither side pays for growing and
// copying a fresh buffer.
ssize_t append_output(void *cookie, const char *from, size_t n) {
    Bytes *out = static_cast<Bytes *>(cookie);
    out->insert(out->end(), from, from + n);
    return (ssize_t)n;
}

bool ours_encode(Gif *gif, Bytes &out) {
    out.clear();
    cookie_io_functions_t io = {NULL, append_output, NULL, NULL};
    FILE *f = fopencookie(&out, "wb", io);
    if (!f) return false;
    GifStream s = {NULL, 0, 0, f};
    write_gif(&s, gif);
    return fclose(f) == 0;
}

double pixels_of(const Gif *gif) {
    double n = 0;
    for (int32_t i = 0; i < gif->block_count; i++)
        if (const GifPicture *p = gif->blocks[i]->pic) n += (double)p->width * p->height;
    return n;
}

// A benchmark of wrong output is void: the same pixels as giflib's.
bool same_as_giflib(const Gif *gif, const GifFileType *g) {
    int image = 0;
    for (int32_t i = 0; i < gif->block_count; i++) {
        const GifPicture *p = gif->blocks[i]->pic;
        if (!p) continue;
        if (image >= g->ImageCount || !p->rows) return false;
        const SavedImage &s = g->SavedImages[image++];
        if (s.ImageDesc.Width != p->width || s.ImageDesc.Height != p->height) return false;
        for (int32_t r = 0; r < p->height; r++)
            if (memcmp(p->rows[r], s.RasterBits + (size_t)r * (size_t)p->width, (size_t)p->width) != 0) return false;
    }
    return image == g->ImageCount;
}

// A 2 x 65535 image, the row decoder's worst case: two pixels per call.
bool write_tall(const std::string &path) {
    Gif *gif = new_gif();
    GifScreen *sc = gif->screen;
    sc->width = 2;
    sc->height = 65535;
    sc->color_res = 8;
    GifBlock *b = new_gif_block();
    b->intro = 0x2C;
    b->pic = new_gif_picture();
    GifPicture *p = b->pic;
    p->width = 2;
    p->height = 65535;
    p->has_cmap = 1;
    p->cmap_depth = 4;
    p->cmap->length = 16;
    p->cmap->colours = static_cast<Colour *>(gif_alloc(16 * 4));
    p->rows = static_cast<unsigned char **>(gif_alloc(65535 * (int32_t)sizeof(unsigned char *)));
    unsigned seed = 5;
    for (int32_t r = 0; r < 65535; r++) {
        p->rows[r] = static_cast<unsigned char *>(gif_alloc(2));
        for (int x = 0; x < 2; x++) {
            seed = seed * 1103515245u + 12345u;
            p->rows[r][x] = (unsigned char)((seed >> 16) % 5 == 0 ? (seed >> 24) & 15 : r / 97 % 16);
        }
    }
    gif->blocks = static_cast<GifBlock **>(gif_alloc((int32_t)sizeof(GifBlock *)));
    gif->blocks[0] = b;
    gif->block_count = 1;
    Bytes out;
    const bool encoded = ours_encode(gif, out);
    del_gif(gif);
    if (!encoded) return false;
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
    return fclose(f) == 0 && ok;
}

struct Row {
    std::string name;
    double mpx;
    double mem, giflib, wuffs, file, rows, enc, genc;  // Mpx/s
    double mem_g, mem_w, file_w, rows_m, enc_g;          // paired ratios
    double held, peak;                                   // bytes
};

}  // namespace

int main(int argc, char **argv) {
    const std::string dir = argc > 1 ? argv[1] : GIFQVR_CORPUS_DIR;
    const int rounds = argc > 2 ? atoi(argv[2]) : 9;
    const std::string tall = dir + "/tall_2x65535.gif";
    if (!write_tall(tall)) {
        fprintf(stderr, "codec_bench: cannot write %s\n", tall.c_str());
        return 1;
    }
    const char *names[] = {"photo.gif", "photo_interlaced.gif", "screenshot.gif", "document.gif",
                           "animation.gif", "tall_2x65535.gif"};
    std::vector<Row> table;
    for (const char *name : names) {
        const std::string path = dir + "/" + name;
        const Bytes bytes = load(path);
        if (bytes.empty()) {
            fprintf(stderr, "codec_bench: %s: missing\n", path.c_str());
            return 1;
        }
        Row row = {};
        row.name = name;
        heap_meter::start();
        Gif *gif = ours_from_memory(bytes);
        row.held = (double)heap_meter::held();
        row.peak = (double)heap_meter::peak();
        heap_meter::stop();
        GifFileType *g = peers::giflib_decode(bytes);
        Bytes rows;
        if (!g || !same_as_giflib(gif, g) || wuffs_peer_decode(bytes.data(), bytes.size()) < 0) {
            fprintf(stderr, "codec_bench: %s: not decoded as the peers decode it\n", name);
            return 1;
        }
        const double px = pixels_of(gif);
        row.mpx = px / 1e6;
        std::vector<double> t[7];
        std::vector<double> r_mem_g, r_mem_w, r_file_w, r_rows_m, r_enc_g;
        Bytes encoded, ours;
        for (int round = 0; round < rounds; round++) {
            double t0 = now();
            del_gif(ours_from_memory(bytes));
            double t1 = now();
            peers::giflib_close(peers::giflib_decode(bytes));
            double t2 = now();
            wuffs_peer_decode(bytes.data(), bytes.size());
            double t3 = now();
            del_gif(ours_from_file(path));
            double t4 = now();
            ours_by_rows(bytes, rows);
            double t5 = now();
            ours_encode(gif, ours);
            double t6 = now();
            peers::giflib_encode(g, encoded);
            double t7 = now();
            const double d[7] = {t1 - t0, t2 - t1, t3 - t2, t4 - t3, t5 - t4, t6 - t5, t7 - t6};
            for (int k = 0; k < 7; k++) t[k].push_back(d[k]);
            r_mem_g.push_back(d[1] / d[0]);
            r_mem_w.push_back(d[2] / d[0]);
            r_file_w.push_back(d[2] / d[3]);
            r_rows_m.push_back(d[0] / d[4]);
            r_enc_g.push_back(d[6] / d[5]);
        }
        double *speed[7] = {&row.mem, &row.giflib, &row.wuffs, &row.file, &row.rows, &row.enc, &row.genc};
        for (int k = 0; k < 7; k++) *speed[k] = row.mpx / median(t[k]);
        row.mem_g = median(r_mem_g);
        row.mem_w = median(r_mem_w);
        row.file_w = median(r_file_w);
        row.rows_m = median(r_rows_m);
        row.enc_g = median(r_enc_g);
        del_gif(gif);
        peers::giflib_close(g);
        table.push_back(row);
    }

    printf("Mpx/s (wall clock, median of %d interleaved rounds); x = median of paired ratios\n\n", rounds);
    printf("%-21s %6s | %7s %7s %7s %6s %6s | %7s %6s | %7s %6s | %7s %7s %6s\n", "file", "Mpx", "ours",
           "giflib", "Wuffs", "x gifl", "x Wuf", "FILE", "x Wuf", "rows", "x ours", "encode", "giflib", "x gifl");
    for (const Row &r : table)
        printf("%-21s %6.2f | %7.0f %7.0f %7.0f %6.2f %6.2f | %7.0f %6.2f | %7.0f %6.2f | %7.0f %7.0f %6.2f\n",
               r.name.c_str(), r.mpx, r.mem, r.giflib, r.wuffs, r.mem_g, r.mem_w, r.file, r.file_w, r.rows,
               r.rows_m, r.enc, r.genc, r.enc_g);
    printf("\nheap of a load from memory (pixels = decoded bytes of indexes)\n");
    printf("%-21s %10s %10s %8s %10s %8s\n", "file", "pixels KB", "held KB", "held/px", "peak KB", "peak-px KB");
    for (const Row &r : table) {
        double px = r.mpx * 1e6;
        printf("%-21s %10.0f %10.0f %8.3f %10.0f %10.0f\n", r.name.c_str(), px / 1024, r.held / 1024, r.held / px,
               r.peak / 1024, (r.peak - px) / 1024);
    }
    printf("\nx gifl, x Wuf: ours from memory against the peer from memory; FILE x Wuf: ours through a FILE\n"
           "against Wuffs from memory; rows x ours: the exported row decoder against our whole-image\n"
           "decode; encode x gifl: write_gif against EGifPutLine per row, both into memory.\n");
    return 0;
}
