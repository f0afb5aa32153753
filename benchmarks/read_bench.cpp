// Decoding speed and memory: read_gif from memory and through a FILE
// against giflib's DGifSlurp from memory, interleaved in one run, medians
// of several rounds. Times are the process's CPU time (user and system,
// page faults included), so that other work on the machine does not count.
//
// Usage: read_bench [corpus-dir] [rounds]
// Prints per file the pixel throughput (decoded pixels, MB/s) of each way,
// our ratios to giflib, and the heap a finished load holds beyond what was
// held before (ours as a multiple of the decoded pixels).
#include <gif_lib.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codec/gif.h"

#ifndef GIFQVR_CORPUS_DIR
#define GIFQVR_CORPUS_DIR "corpus"
#endif

namespace {

double now() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

size_t heap_in_use() {
    struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

std::vector<unsigned char> load(const std::string &path) {
    std::vector<unsigned char> bytes;
    if (FILE *f = fopen(path.c_str(), "rb")) {
        unsigned char chunk[65536];
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
        fclose(f);
    }
    return bytes;
}

Gif *ours_from_memory(const std::vector<unsigned char> &bytes) {
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

struct Memory {
    const std::vector<unsigned char> *bytes;
    size_t at;
};

int read_memory(GifFileType *g, GifByteType *to, int n) {
    Memory *m = static_cast<Memory *>(g->UserData);
    size_t left = m->bytes->size() - m->at;
    size_t take = (size_t)n < left ? (size_t)n : left;
    memcpy(to, m->bytes->data() + m->at, take);
    m->at += take;
    return (int)take;
}

GifFileType *giflib_from_memory(const std::vector<unsigned char> &bytes) {
    Memory m = {&bytes, 0};
    int error;
    GifFileType *g = DGifOpen(&m, read_memory, &error);
    if (g && DGifSlurp(g) != GIF_OK) {
        DGifCloseFile(g, &error);
        return NULL;
    }
    if (g) g->UserData = NULL;
    return g;
}

void close_giflib(GifFileType *g) {
    int error;
    DGifCloseFile(g, &error);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Same images, same rows, same tables: a benchmark of wrong output is void.
bool same_as_giflib(const Gif *gif, const GifFileType *g) {
    int image = 0;
    for (int i = 0; i < gif->block_count; i++) {
        const GifPicture *p = gif->blocks[i]->pic;
        if (!p) continue;
        if (image >= g->ImageCount || !p->rows) return false;
        const SavedImage &s = g->SavedImages[image++];
        if (s.ImageDesc.Width != p->width || s.ImageDesc.Height != p->height) return false;
        for (int r = 0; r < p->height; r++)
            if (memcmp(p->rows[r], s.RasterBits + (size_t)r * (size_t)p->width, (size_t)p->width) != 0) return false;
    }
    return image == g->ImageCount;
}

}  // namespace

int main(int argc, char **argv) {
    const std::string dir = argc > 1 ? argv[1] : GIFQVR_CORPUS_DIR;
    const int rounds = argc > 2 ? atoi(argv[2]) : 9;
    const char *names[] = {"photo.gif", "photo_interlaced.gif", "screenshot.gif", "document.gif", "animation.gif"};

    printf("%-22s %7s %9s %9s %9s %7s %7s %10s %10s %6s\n", "file", "Mpixel", "mem MB/s", "FILE MB/s",
           "giflib", "mem x", "FILE x", "ours KB", "giflib KB", "ours/px");
    for (const char *name : names) {
        std::string path = dir + "/" + name;
        std::vector<unsigned char> bytes = load(path);
        if (bytes.empty()) {
            fprintf(stderr, "read_bench: %s: missing\n", path.c_str());
            return 1;
        }

        size_t before = heap_in_use();
        Gif *gif = ours_from_memory(bytes);
        size_t ours_heap = heap_in_use() - before;
        before = heap_in_use();
        GifFileType *g = giflib_from_memory(bytes);
        size_t giflib_heap = heap_in_use() - before;
        if (!g || !same_as_giflib(gif, g)) {
            fprintf(stderr, "read_bench: %s: not decoded as giflib decodes it\n", name);
            return 1;
        }
        double pixels = 0;
        for (int i = 0; i < gif->block_count; i++)
            if (gif->blocks[i]->pic) pixels += (double)gif->blocks[i]->pic->width * gif->blocks[i]->pic->height;
        del_gif(gif);
        close_giflib(g);

        std::vector<double> mem, file, peer;
        for (int r = 0; r < rounds; r++) {
            double t0 = now();
            del_gif(ours_from_memory(bytes));
            double t1 = now();
            del_gif(ours_from_file(path));
            double t2 = now();
            close_giflib(giflib_from_memory(bytes));
            double t3 = now();
            mem.push_back(t1 - t0);
            file.push_back(t2 - t1);
            peer.push_back(t3 - t2);
        }
        double m = pixels / median(mem) / 1e6, f = pixels / median(file) / 1e6, p = pixels / median(peer) / 1e6;
        printf("%-22s %7.2f %9.0f %9.0f %9.0f %7.2f %7.2f %10.0f %10.0f %6.3f\n", name, pixels / 1e6, m, f, p, m / p,
               f / p, (double)ours_heap / 1024, (double)giflib_heap / 1024, (double)ours_heap / pixels);
    }
    printf("rounds: %d (median of CPU times); MB/s = decoded pixels per CPU second / 1e6;\n"
           "x = ours / giflib from memory; "
           "KB = heap a finished load holds; ours/px = that per decoded pixel\n",
           rounds);
    return 0;
}
