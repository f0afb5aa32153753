// The former image writer (the exported row encoder, one row at a time),
// kept for comparing outputs.
#ifndef GIFQVR_TESTS_CODEC_WRITE_REFERENCE_ENCODER_H
#define GIFQVR_TESTS_CODEC_WRITE_REFERENCE_ENCODER_H

#include "codec/gif.h"

namespace reference {
void write_gif_picture(GifStream *stream, GifPicture *picture);
}

#endif
