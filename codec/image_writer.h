/* The whole-picture encoder as the container writer uses it: its string
 * table is kept from one picture of a file to the next, so that a file of
 * many frames clears one table, not one per frame. */
#ifndef GIFQVR_CODEC_IMAGE_WRITER_H
#define GIFQVR_CODEC_IMAGE_WRITER_H

#include <stdio.h>

#include "codec/gif.h"

struct GifCodeTable;

/* One image block after its introducer, into `f` (locked by the caller)
 * or nowhere when it is null. `*kept` is null or a table from an earlier
 * call; it may be replaced, and is the caller's to free. */
void gif_put_picture(GifStream *stream, FILE *f, GifPicture *pic, GifCodeTable **kept);
void gif_free_code_table(GifCodeTable *table);

#endif
