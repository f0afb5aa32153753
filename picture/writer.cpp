#include "picture/picture.h"

#include <stdlib.h>
#include <string.h>

namespace {

const char kDrawPictureDeclaration[] =
    "DrawPicture( p as Picture, x as Integer, y as Integer, dw as Integer, dh as Integer, "
    "sx as Integer, sy as Integer, sw as Integer, sh as Integer )";

} // namespace

int32_t NewPictureWriter(PictureWriter *writer, int32_t width, int32_t height)
{
    memset(writer, 0, sizeof *writer);
    if (width <= 0 || height <= 0)
        return 0;
    // Images may declare 65535 x 65535; a buffer beyond 32 bits is refused
    // like a failed allocation.
    // The row is checked first: with both sizes near 2^31 the product would
    // not fit even in 64 bits.
    int64_t rowBytes = static_cast<int64_t>(width) * 3;
    if (rowBytes > INT32_MAX)
        return 0;
    int64_t total = rowBytes * (static_cast<int64_t>(height) + 1);
    if (total > INT32_MAX)
        return 0;
    writer->width = width;
    writer->height = height;
    writer->rowBytes = static_cast<int32_t>(rowBytes);
    unsigned char *buffer = static_cast<unsigned char *>(calloc(static_cast<size_t>(total), 1));
    if (!buffer)
        return 0;
    writer->bytesPerPixel = 3;
    writer->cursor = buffer;
    writer->buffer = buffer;
    return 1;
}

REALpicture RenderPictureWriter(PictureWriter *writer)
{
    REALpicture picture = nullptr;
    if (writer->buffer)
        picture = REALBuildPictureFromBuffer(writer->width, writer->height, RBPixelType24,
                                             writer->buffer, writer->rowBytes);
    FreePictureWriter(writer);
    return picture;
}

void FreePictureWriter(PictureWriter *writer)
{
    free(writer->buffer);
    writer->buffer = nullptr;
    writer->cursor = nullptr;
}

int32_t AddPictureMask(REALpicture picture, REALpicture maskSource, int32_t width, int32_t height)
{
    if (!picture)
        return 0;
    if (!maskSource)
        return 1;
    REALpicture mask = REALGetPictureMask(picture, 1);
    if (!mask)
        return 0;
    REALgraphics graphics = REALGetPictureGraphics(mask);
    if (!graphics) {
        REALUnlockObject(reinterpret_cast<REALobject>(mask));
        return 0;
    }
    GraphicsDrawPicture(graphics, maskSource, 0, 0, width, height, 0, 0, width, height);
    REALUnlockObject(reinterpret_cast<REALobject>(graphics));
    REALUnlockObject(reinterpret_cast<REALobject>(mask));
    return 1;
}

void GraphicsDrawPicture(REALgraphics graphics, REALpicture picture, int32_t x, int32_t y,
                         int32_t dw, int32_t dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh)
{
    if (!graphics || !picture)
        return;
    void *entry = REALLoadObjectMethod(reinterpret_cast<REALobject>(graphics),
                                       kDrawPictureDeclaration);
    if (!entry)
        return;
    reinterpret_cast<DrawPictureProc>(entry)(graphics, picture, x, y, dw, dh, sx, sy, sw, sh);
}
