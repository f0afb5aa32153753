#include "peers.h"

#include <string.h>

#include <algorithm>

namespace peers {
namespace {

struct Input {
    const std::vector<unsigned char> *bytes;
    size_t at;
};

int read_input(GifFileType *g, GifByteType *to, int n) {
    Input *in = static_cast<Input *>(g->UserData);
    size_t take = std::min((size_t)n, in->bytes->size() - in->at);
    memcpy(to, in->bytes->data() + in->at, take);
    in->at += take;
    return (int)take;
}

int write_output(GifFileType *g, const GifByteType *from, int n) {
    std::vector<unsigned char> *out = static_cast<std::vector<unsigned char> *>(g->UserData);
    out->insert(out->end(), from, from + n);
    return n;
}

}  // namespace

GifFileType *giflib_decode(const std::vector<unsigned char> &bytes) {
    Input in = {&bytes, 0};
    int error;
    GifFileType *g = DGifOpen(&in, read_input, &error);
    if (g && DGifSlurp(g) != GIF_OK) {
        DGifCloseFile(g, &error);
        return NULL;
    }
    if (g) g->UserData = NULL;
    return g;
}

void giflib_close(GifFileType *g) {
    int error;
    DGifCloseFile(g, &error);
}

bool giflib_encode(GifFileType *in, std::vector<unsigned char> &out) {
    out.clear();
    int err = 0;
    GifFileType *g = EGifOpen(&out, write_output, &err);
    if (!g) return false;
    EGifSetGifVersion(g, true);
    bool ok = EGifPutScreenDesc(g, in->SWidth, in->SHeight, in->SColorResolution, in->SBackGroundColor,
                                in->SColorMap) == GIF_OK;
    for (int i = 0; ok && i < in->ImageCount; i++) {
        const SavedImage &img = in->SavedImages[i];
        const GifImageDesc &d = img.ImageDesc;
        for (int e = 0; ok && e < img.ExtensionBlockCount; e++) {
            const ExtensionBlock &b = img.ExtensionBlocks[e];
            if (b.Function != CONTINUE_EXT_FUNC_CODE) {
                if (e > 0) ok = EGifPutExtensionTrailer(g) == GIF_OK;
                ok = ok && EGifPutExtensionLeader(g, b.Function) == GIF_OK;
            }
            ok = ok && EGifPutExtensionBlock(g, b.ByteCount, b.Bytes) == GIF_OK;
        }
        if (ok && img.ExtensionBlockCount > 0) ok = EGifPutExtensionTrailer(g) == GIF_OK;
        ok = ok && EGifPutImageDesc(g, d.Left, d.Top, d.Width, d.Height, d.Interlace, d.ColorMap) == GIF_OK;
        static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        const int passes = d.Interlace ? 4 : 1;
        for (int p = 0; ok && p < passes; p++)
            for (int r = d.Interlace ? start[p] : 0; ok && r < d.Height; r += d.Interlace ? step[p] : 1)
                ok = EGifPutLine(g, img.RasterBits + (size_t)r * (size_t)d.Width, d.Width) == GIF_OK;
    }
    return EGifCloseFile(g, &err) == GIF_OK && ok;
}

}  // namespace peers
