/* Text dump of a record tree, for inspection only. */
#include "codec/gif.h"

#include <ctype.h>
#include <string.h>

namespace {

const char kHex[] = "0123456789ABCDEF";

void put_text(FILE *file, const char *text) {
    fwrite(text, 1, strlen(text), file);
}

void print_row(FILE *file, const unsigned char *row, int32_t width) {
    put_text(file, "   [");
    for (int32_t x = 0; x < width; x++) {
        fputc(kHex[row[x] >> 4], file);
        fputc(kHex[row[x] & 15], file);
    }
    put_text(file, "]\n");
}

}  // namespace

extern "C" {

void print_gif(FILE *file, Gif *gif) {
    if (!file || !gif) return;
    fprintf(file, "Gif header=%.*s\n", (int)sizeof gif->header, gif->header);
    if (gif->screen) print_gif_screen(file, gif->screen);
    for (int32_t i = 0; gif->blocks && i < gif->block_count; i++)
        if (gif->blocks[i]) print_gif_block(file, gif->blocks[i]);
    put_text(file, "End of gif.\n\n");
}

void print_gif_screen(FILE *file, GifScreen *screen) {
    if (!file || !screen) return;
    put_text(file, " GifScreen:\n");
    fprintf(file, "  width      = %d\n", (int)screen->width);
    fprintf(file, "  height     = %d\n", (int)screen->height);
    fprintf(file, "  has_cmap   = %d\n", screen->has_cmap ? 1 : 0);
    fprintf(file, "  color_res  = %d\n", (int)screen->color_res);
    fprintf(file, "  sorted     = %d\n", screen->sorted ? 1 : 0);
    fprintf(file, "  cmap_depth = %d\n", (int)screen->cmap_depth);
    fprintf(file, "  bgcolour   = %02X\n", (unsigned)screen->bgcolour);
    fprintf(file, "  aspect     = %d\n", (int)screen->aspect);
    if (screen->has_cmap) print_gif_palette(file, screen->cmap);
}

void print_gif_palette(FILE *file, GifPalette *palette) {
    if (!file || !palette) return;
    fprintf(file, "  GifPalette (length=%d):\n", (int)palette->length);
    for (int32_t i = 0; palette->colours && i < palette->length; i++) {
        const Colour *c = &palette->colours[i];
        fprintf(file, "   %02X = 0x%02X%02X%02X\n", (unsigned)i, c->red, c->green, c->blue);
    }
}

void print_gif_block(FILE *file, GifBlock *block) {
    if (!file || !block) return;
    fprintf(file, " GifBlock (intro=0x%02X):\n", (unsigned)block->intro);
    if (block->pic) print_gif_picture(file, block->pic);
    if (block->ext) print_gif_extension(file, block->ext);
}

void print_gif_extension(FILE *file, GifExtension *ext) {
    if (!file || !ext) return;
    put_text(file, " GifExtension:\n");
    fprintf(file, "  marker = 0x%02X\n", (unsigned)ext->marker);
    for (int32_t i = 0; ext->data && i < ext->data_count; i++) {
        put_text(file, "  data = ");
        print_gif_data(file, ext->data[i]);
    }
}

void print_gif_picture(FILE *file, GifPicture *pic) {
    if (!file || !pic) return;
    put_text(file, " GifPicture:\n");
    fprintf(file, "  left       = %d\n", (int)pic->left);
    fprintf(file, "  top        = %d\n", (int)pic->top);
    fprintf(file, "  width      = %d\n", (int)pic->width);
    fprintf(file, "  height     = %d\n", (int)pic->height);
    fprintf(file, "  has_cmap   = %d\n", (int)pic->has_cmap);
    fprintf(file, "  interlace  = %d\n", (int)pic->interlace);
    fprintf(file, "  sorted     = %d\n", (int)pic->sorted);
    fprintf(file, "  reserved   = %d\n", (int)pic->reserved);
    fprintf(file, "  cmap_depth = %d\n", (int)pic->cmap_depth);
    if (pic->has_cmap) print_gif_palette(file, pic->cmap);
    /* No row table, no pixel lines; likewise for a missing row. */
    if (!pic->rows) return;
    for (int32_t r = 0; r < pic->height; r++)
        if (pic->rows[r]) print_row(file, pic->rows[r], pic->width);
}

void print_gif_data(FILE *file, GifData *data) {
    if (!file) return;
    if (!data) {
        put_text(file, "[]\n");
        return;
    }
    fprintf(file, "(length=%d) [", (int)data->length);
    bool was_printable = true;
    for (int32_t i = 0; data->bytes && i < data->length; i++) {
        unsigned char b = data->bytes[i];
        bool printable = isprint(b) != 0;
        if (printable != was_printable) fputc(' ', file);
        if (printable)
            fputc(b, file);
        else
            fprintf(file, "%02X,", b);
        was_printable = printable;
    }
    put_text(file, "]\n");
}

}  // extern "C"
