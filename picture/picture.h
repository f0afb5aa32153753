/* Host pictures: a 24-bit RGB buffer handed to the host in one call, masks
 * drawn into a picture's mask, and GIF images coloured into pictures. */
#ifndef GIFQVR_PICTURE_PICTURE_H
#define GIFQVR_PICTURE_PICTURE_H

#include <stdint.h>

#include "codec/gif.h"
#include "host/host.h"

/* Owns one pixel buffer between NewPictureWriter and RenderPictureWriter or
 * FreePictureWriter. Rows are width * 3 bytes, unpadded; one spare row. */
struct PictureWriter {
    int32_t rowBytes;
    unsigned char *cursor;
    int32_t width;
    int32_t height;
    int32_t bytesPerPixel;
    unsigned char *buffer;
};

int32_t NewPictureWriter(PictureWriter *writer, int32_t width, int32_t height);
REALpicture RenderPictureWriter(PictureWriter *writer);
void FreePictureWriter(PictureWriter *writer);

int32_t AddPictureMask(REALpicture picture, REALpicture maskSource, int32_t width, int32_t height);
void GraphicsDrawPicture(REALgraphics graphics, REALpicture picture, int32_t x, int32_t y,
                         int32_t dw, int32_t dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh);

/* Colour arrays hold 256 entries each, indexed by colour index. */
int32_t GetPalette(const GifPalette *table, int32_t *red, int32_t *green, int32_t *blue);
int32_t FindPalette(const GifPicture *image, const Gif *gif, int32_t *red, int32_t *green,
                    int32_t *blue);
REALpicture MakePictureFromGifPictureAndGifPalette(const GifPicture *image, const int32_t *red,
                                                   const int32_t *green, const int32_t *blue);
REALpicture MakePictureFromGifPicture(const Gif *gif, const GifPicture *image);
int32_t FindBGColor(const Gif *gif, const GifPicture *image);
REALpicture MakeMaskFromGifPicture(const GifPicture *image, int32_t index);
/* The image as a picture with the mask of its transparent index attached;
 * null when it cannot be coloured. */
REALpicture MakePictureWithMask(const Gif *gif, const GifPicture *image);

/* Size of the image last turned into a picture; the mask of that picture is
 * attached with this size within the same host call. */
extern "C" {
extern __attribute__((visibility("default"))) int32_t LastWidth;
extern __attribute__((visibility("default"))) int32_t LastHeight;
}

#endif
