/* GIF codec: the record tree of one GIF file, the byte stream it is read
 * from and written to, and the functions that read, decode, encode, write
 * and print it. Plain C structs and free functions with C linkage. */
#ifndef GIFQVR_CODEC_GIF_H
#define GIFQVR_CODEC_GIF_H

#include <stdint.h>
#include <stdio.h>

/* The codec is built with hidden visibility; its API is exported. */
#define GIF_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

enum {
    NO_CODE = 4098,    /* no previous code / undefined table entry */
    NO_STRING = 4097,  /* encoder: no pixel seen yet */
    FLUSH_CODE = 4096  /* encoder: flush the bits and end the data */
};

/* Byte source and sink. When stream_file is set it takes precedence and the
 * buffer fields are ignored; past the end of the input every byte reads 0. */
typedef struct GifStream {
    const unsigned char *stream_data;
    int32_t stream_size;
    int32_t stream_pos;
    FILE *stream_file;
} GifStream;

/* Byte 0 carries nothing; bytes 1..3 are red, green, blue. */
typedef struct Colour {
    unsigned char alpha, red, green, blue;
} Colour;

typedef struct GifPalette {
    int32_t length;
    Colour *colours;
} GifPalette;

typedef struct GifScreen {
    int32_t width;
    int32_t height;
    int32_t has_cmap;
    int32_t color_res;
    int32_t sorted;
    int32_t cmap_depth;
    int32_t bgcolour;
    int32_t aspect;
    GifPalette *cmap;
} GifScreen;

typedef struct GifData {
    int32_t length;
    unsigned char *bytes;
} GifData;

typedef struct GifExtension {
    int32_t marker;
    int32_t data_count;
    GifData **data;
} GifExtension;

typedef struct GifPicture {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    int32_t has_cmap;
    int32_t interlace;
    int32_t sorted;
    int32_t reserved;
    int32_t cmap_depth;
    GifPalette *cmap;
    unsigned char **rows;
} GifPicture;

typedef struct GifBlock {
    int32_t intro;
    GifPicture *pic;
    GifExtension *ext;
} GifBlock;

typedef struct Gif {
    char header[8];
    GifScreen *screen;
    int32_t block_count;
    GifBlock **blocks;
} Gif;

typedef struct GifDecoder {
    int32_t root_size;
    int32_t clear_code;
    int32_t end_code;
    int32_t next_code;
    int32_t code_width;
    int32_t width_limit;
    int32_t last_code;
    int32_t pending;
    int32_t bit_count;
    uint32_t bit_buffer;
    int32_t blocks_done;
    int32_t block_pos;
    int32_t block_len;
    unsigned char block[256];
    unsigned char stack[4096];
    unsigned char suffix[4096];
    int32_t prefix[4096];
} GifDecoder;

typedef struct GifEncoder {
    int32_t root_size;
    int32_t clear_code;
    int32_t end_code;
    int32_t next_code;
    int32_t code_width;
    int32_t width_limit;
    int32_t current_code;
    int32_t bit_count;
    uint32_t bit_buffer;
    int32_t blocks_done;
    int32_t block_len;
    unsigned char block[256];
    uint32_t hash_table[8192];
} GifEncoder;

/* Allocation: zero-filled heap memory, released with free(). */
GIF_API void *gif_alloc(int32_t size);
GIF_API void *app_realloc(void *pointer, int32_t size);

/* Constructors: a new zero-filled record, or null when the heap is exhausted. */
GIF_API Gif *new_gif(void);
GIF_API GifScreen *new_gif_screen(void);
GIF_API GifPalette *new_gif_palette(void);
GIF_API GifBlock *new_gif_block(void);
GIF_API GifExtension *new_gif_extension(void);
GIF_API GifData *new_gif_data(int32_t length);
GIF_API GifPicture *new_gif_picture(void);
GIF_API GifDecoder *new_gif_decoder(void);
GIF_API GifEncoder *new_gif_encoder(void);

/* Deep destructors; each also accepts a null record and does nothing. */
GIF_API void del_gif(Gif *gif);
GIF_API void del_gif_screen(GifScreen *screen);
GIF_API void del_gif_palette(GifPalette *palette);
GIF_API void del_gif_block(GifBlock *block);
GIF_API void del_gif_extension(GifExtension *ext);
GIF_API void del_gif_data(GifData *data);
GIF_API void del_gif_picture(GifPicture *pic);
GIF_API void del_gif_decoder(GifDecoder *decoder);
GIF_API void del_gif_encoder(GifEncoder *encoder);

/* Container reader. */
GIF_API void read_gif(GifStream *stream, Gif *gif);
GIF_API void read_one_gif_picture(GifStream *stream, Gif *gif);
GIF_API void read_gif_screen(GifStream *stream, GifScreen *screen);
GIF_API void read_gif_palette(GifStream *stream, GifPalette *palette);
GIF_API void read_gif_block(GifStream *stream, GifBlock *block);
GIF_API void read_gif_extension(GifStream *stream, GifExtension *ext);
GIF_API GifData *read_gif_data(GifStream *stream);
GIF_API int32_t read_gif_int(GifStream *stream);

/* Image reader and LZW decoder. read_gif_line keeps derived state behind
 * the record between calls, so its decoder must come from new_gif_decoder. */
GIF_API void read_gif_picture(GifStream *stream, GifPicture *picture);
GIF_API void init_gif_decoder(GifStream *stream, GifDecoder *decoder);
GIF_API int32_t read_gif_code(GifStream *stream, GifDecoder *decoder);
GIF_API void read_gif_line(GifStream *stream, GifDecoder *decoder,
                           unsigned char *row, int32_t length);

/* Container writer. */
GIF_API void write_gif(GifStream *stream, Gif *gif);
GIF_API void write_gif_screen(GifStream *stream, GifScreen *screen);
GIF_API void write_gif_palette(GifStream *stream, GifPalette *palette);
GIF_API void write_gif_block(GifStream *stream, GifBlock *block);
GIF_API void write_gif_extension(GifStream *stream, GifExtension *ext);
GIF_API void write_gif_data(GifStream *stream, GifData *data);
GIF_API void write_gif_int(GifStream *stream, int32_t value);

/* Image writer and LZW encoder. */
GIF_API void write_gif_picture(GifStream *stream, GifPicture *picture);
GIF_API void init_gif_encoder(GifStream *stream, GifEncoder *encoder, int32_t depth);
GIF_API void write_gif_line(GifStream *stream, GifEncoder *encoder,
                            const unsigned char *pixels, int32_t length);
GIF_API void flush_gif_encoder(GifStream *stream, GifEncoder *encoder);
GIF_API void write_gif_code(GifStream *stream, GifEncoder *encoder, int32_t code);

/* Text dump. */
GIF_API void print_gif(FILE *file, Gif *gif);
GIF_API void print_gif_screen(FILE *file, GifScreen *screen);
GIF_API void print_gif_palette(FILE *file, GifPalette *palette);
GIF_API void print_gif_block(FILE *file, GifBlock *block);
GIF_API void print_gif_extension(FILE *file, GifExtension *ext);
GIF_API void print_gif_picture(FILE *file, GifPicture *pic);
GIF_API void print_gif_data(FILE *file, GifData *data);

#ifdef __cplusplus
}
#endif

#endif
