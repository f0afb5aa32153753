// Reads arbitrary bytes, writes the record out and reads that back: every
// image must come back with the same size and the same rows, and the rest of
// the tree with the same values.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "codec/gif.h"
#include "fuzz/gif_area.h"

namespace {

// Pixels the input may ask for before it is passed over: decoding and
// encoding are linear in them, and the rows are allocated whole.
const uint64_t kMaxPixels = 1u << 16;

void Check(bool ok, const char *what) {
    if (!ok) {
        fprintf(stderr, "round trip changed: %s\n", what);
        abort();
    }
}

void SamePalette(const GifPalette *a, const GifPalette *b) {
    Check(a->length == b->length, "table length");
    for (int32_t i = 0; i < a->length; i++)
        Check(a->colours[i].red == b->colours[i].red && a->colours[i].green == b->colours[i].green &&
                  a->colours[i].blue == b->colours[i].blue,
              "table entry");
}

void SamePicture(const GifPicture *a, const GifPicture *b) {
    Check(a->left == b->left && a->top == b->top, "image position");
    Check(a->width == b->width && a->height == b->height, "image size");
    Check(a->has_cmap == b->has_cmap && a->interlace == b->interlace && a->sorted == b->sorted &&
              a->reserved == b->reserved && a->cmap_depth == b->cmap_depth,
          "image flags");
    SamePalette(a->cmap, b->cmap);
    Check((a->rows == nullptr) == (b->rows == nullptr), "row table");
    if (!a->rows) return;
    for (int32_t r = 0; r < a->height; r++)
        Check(memcmp(a->rows[r], b->rows[r], static_cast<size_t>(a->width)) == 0, "image rows");
}

void SameExtension(const GifExtension *a, const GifExtension *b) {
    Check(a->marker == b->marker, "extension label");
    Check(a->data_count == b->data_count, "sub-block count");
    for (int32_t i = 0; i < a->data_count; i++)
        Check(a->data[i]->length == b->data[i]->length &&
                  memcmp(a->data[i]->bytes, b->data[i]->bytes,
                         static_cast<size_t>(a->data[i]->length)) == 0,
              "sub-block");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The header is written as text: a NUL among the six bytes ends it.
    if (size < 6 || memchr(data, 0, 6) || fuzzarea::PixelsAsked(data, size, kMaxPixels) > kMaxPixels) return 0;

    GifStream in = {data, static_cast<int32_t>(size > INT32_MAX ? INT32_MAX : size), 0, nullptr};
    Gif *first = new_gif();
    if (!first) return 0;
    read_gif(&in, first);
    if (memcmp(first->header, "GIF", 3) != 0) {
        del_gif(first);
        return 0;
    }

    char *bytes = nullptr;
    size_t length = 0;
    FILE *f = open_memstream(&bytes, &length);
    if (!f) {
        del_gif(first);
        return 0;
    }
    GifStream out = {nullptr, 0, 0, f};
    write_gif(&out, first);
    fclose(f);

    GifStream again = {reinterpret_cast<unsigned char *>(bytes), static_cast<int32_t>(length), 0,
                       nullptr};
    Gif *second = new_gif();
    if (second) {
        read_gif(&again, second);
        Check(memcmp(first->header, second->header, sizeof first->header) == 0, "header");
        const GifScreen *a = first->screen, *b = second->screen;
        Check(a->width == b->width && a->height == b->height && a->has_cmap == b->has_cmap &&
                  a->color_res == b->color_res && a->sorted == b->sorted &&
                  a->cmap_depth == b->cmap_depth && a->bgcolour == b->bgcolour &&
                  a->aspect == b->aspect,
              "screen");
        SamePalette(a->cmap, b->cmap);
        Check(first->block_count == second->block_count, "block count");
        for (int32_t i = 0; i < first->block_count; i++) {
            const GifBlock *x = first->blocks[i], *y = second->blocks[i];
            Check(x->intro == y->intro, "introducer");
            Check((x->pic == nullptr) == (y->pic == nullptr), "image block");
            Check((x->ext == nullptr) == (y->ext == nullptr), "extension block");
            if (x->pic) SamePicture(x->pic, y->pic);
            if (x->ext) SameExtension(x->ext, y->ext);
        }
        del_gif(second);
    }
    free(bytes);
    del_gif(first);
    return 0;
}
