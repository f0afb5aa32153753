// The picture path as a host program takes it: the built plug-in loaded
// into the stand-in host, a GIF loaded from a string, then "MakePicture"
// and "MakeMask" of its first image. The host's share, its copy of the
// plug-in's buffer in REALBuildPictureFromBuffer, is timed apart, so that
// the plug-in's own share (colouring or masking, its buffer) is set
// against a plain palette-to-RGB expansion of the same indexes into a
// buffer of its own, measured in the same rounds.
//
// Usage: picture_bench [corpus-dir] [rounds]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "benchmarks/timing.h"
#include "codec/gif.h"
#include "standin_host/standin_host.h"

#ifndef GIFQVR_CORPUS_DIR
#define GIFQVR_CORPUS_DIR "corpus"
#endif

namespace {

using standin::Host;
using standin::Value;

using bench::median;
using bench::now;

std::string load(const std::string &path) {
    std::string bytes;
    if (FILE *f = fopen(path.c_str(), "rb")) {
        char chunk[65536];
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.append(chunk, n);
        fclose(f);
    }
    return bytes;
}

// Time spent inside the host's copy since the last reset.
double host_copy = 0;
REALpicture (*real_build)(int32_t, int32_t, int32_t, void *, int32_t) = nullptr;

REALpicture timed_build(int32_t width, int32_t height, int32_t type, void *buffer, int32_t row_bytes) {
    double t0 = now();
    REALpicture p = real_build(width, height, type, buffer, row_bytes);
    host_copy += now() - t0;
    return p;
}

// The plain loop: every index looked up in three colour arrays, into a
// buffer allocated as the plug-in allocates its own (zero-filled, one
// spare row), so that both pay alike for fresh memory.
unsigned plain_expansion(const GifPicture *pic, const unsigned char *red, const unsigned char *green,
                         const unsigned char *blue) {
    const size_t row_bytes = (size_t)pic->width * 3;
    unsigned char *rgb = static_cast<unsigned char *>(calloc(row_bytes * ((size_t)pic->height + 1), 1));
    if (!rgb) return 0;
    for (int32_t r = 0; r < pic->height; r++) {
        const unsigned char *in = pic->rows[r];
        unsigned char *out = rgb + row_bytes * (size_t)r;
        for (int32_t x = 0; x < pic->width; x++) {
            const unsigned char i = in[x];
            out[3 * x] = red[i];
            out[3 * x + 1] = green[i];
            out[3 * x + 2] = blue[i];
        }
    }
    unsigned check = rgb[row_bytes * (size_t)pic->height / 2];
    free(rgb);
    return check;
}

const GifPicture *first_picture(const Gif *gif, int32_t *block) {
    for (int32_t i = 0; i < gif->block_count; i++)
        if (gif->blocks[i]->pic) {
            *block = i;
            return gif->blocks[i]->pic;
        }
    return nullptr;
}

}  // namespace

int main(int argc, char **argv) {
    const std::string dir = argc > 1 ? argv[1] : GIFQVR_CORPUS_DIR;
    const int rounds = argc > 2 ? atoi(argv[2]) : 9;
    Host &host = Host::instance();
    real_build = reinterpret_cast<decltype(real_build)>(host.service("REALBuildPictureFromBuffer"));
    host.replace("REALBuildPictureFromBuffer", reinterpret_cast<void *>(&timed_build));
    if (!real_build || !host.loadPlugin(GIFQVR_PLUGIN_FILE)) {
        fprintf(stderr, "picture_bench: cannot load %s\n", GIFQVR_PLUGIN_FILE);
        return 1;
    }
    printf("Mpx/s (wall clock, median of %d interleaved rounds); x = median of paired ratios\n\n", rounds);
    printf("%-21s %6s | %7s %7s %7s | %7s %7s | %7s | %6s %6s\n", "file", "Mpx", "picture", "plug-in", "host",
           "mask", "plug-in", "plain", "x pic", "x mask");
    const char *names[] = {"photo.gif", "photo_interlaced.gif", "screenshot.gif", "document.gif", "animation.gif"};
    for (const char *name : names) {
        const std::string bytes = load(dir + "/" + name);
        GifStream s = {reinterpret_cast<const unsigned char *>(bytes.data()), (int32_t)bytes.size(), 0, NULL};
        Gif *gif = new_gif();
        read_gif(&s, gif);
        int32_t block = 0;
        const GifPicture *pic = first_picture(gif, &block);
        const GifPalette *pal = pic && pic->cmap && pic->cmap->length ? pic->cmap : gif->screen->cmap;
        if (bytes.empty() || !pic || !pic->rows || !pal) {
            fprintf(stderr, "picture_bench: %s: no image to colour\n", name);
            return 1;
        }
        unsigned char red[256] = {0}, green[256] = {0}, blue[256] = {0};
        for (int32_t i = 0; i < pal->length && i < 256; i++) {
            red[i] = pal->colours[i].red;
            green[i] = pal->colours[i].green;
            blue[i] = pal->colours[i].blue;
        }
        Value loaded = host.callGlobal("GifStringToGifQVR", {host.string(bytes, standin::kEncodingRaw)});
        Value view = loaded.isNil() ? Value() : host.get(host.call(loaded, "Block", {Value::integer(block)}), "Picture");
        if (view.isNil()) {
            fprintf(stderr, "picture_bench: %s: not loaded by the plug-in\n", name);
            return 1;
        }
        const double mpx = (double)pic->width * pic->height / 1e6;
        std::vector<double> t_pic, t_pic_own, t_pic_host, t_mask, t_mask_own, t_plain, r_pic, r_mask;
        unsigned check = 0;
        for (int round = 0; round < rounds; round++) {
            /* Plain runs before and after the plug-in's calls; the faster
             * counts, so that the heap's state does not favour either. */
            double p0 = now();
            check += plain_expansion(pic, red, green, blue);
            const double plain_before = now() - p0;
            host_copy = 0;
            double t0 = now();
            Value picture = host.call(view, "MakePicture");
            double t1 = now();
            const double pic_host = host_copy;
            const bool made = !picture.isNil();
            picture.release();
            host_copy = 0;
            double t2 = now();
            Value mask = host.call(view, "MakeMask");
            double t3 = now();
            const double mask_host = host_copy;
            const bool masked = !mask.isNil();
            mask.release();
            double t4 = now();
            check += plain_expansion(pic, red, green, blue);
            double t5 = now();
            if (plain_before < t5 - t4) t4 = t5 - plain_before;
            if (!made || !masked) {
                fprintf(stderr, "picture_bench: %s: no picture or no mask\n", name);
                return 1;
            }
            t_pic.push_back(t1 - t0);
            t_pic_own.push_back(t1 - t0 - pic_host);
            t_pic_host.push_back(pic_host);
            t_mask.push_back(t3 - t2);
            t_mask_own.push_back(t3 - t2 - mask_host);
            t_plain.push_back(t5 - t4);
            r_pic.push_back((t5 - t4) / (t1 - t0 - pic_host));
            r_mask.push_back((t5 - t4) / (t3 - t2 - mask_host));
        }
        printf("%-21s %6.2f | %7.0f %7.0f %7.0f | %7.0f %7.0f | %7.0f | %6.2f %6.2f\n", name, mpx,
               mpx / median(t_pic), mpx / median(t_pic_own), mpx / median(t_pic_host), mpx / median(t_mask),
               mpx / median(t_mask_own), mpx / median(t_plain), median(r_pic), median(r_mask));
        if (check == 0xFFFFFFFFu) printf("(check %u)\n", check);
        del_gif(gif);
    }
    printf("\npicture, mask: the whole host call; plug-in: the call less the host's copy of the\n"
           "plug-in's buffer; plain: a palette-to-RGB expansion of the same indexes into a fresh\n"
           "zero-filled buffer, the faster of a run before and one after; x pic, x mask: the\n"
           "plug-in's share against plain.\n");
    return 0;
}
