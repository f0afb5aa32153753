// Decodes a GIF file with giflib and writes what it found to stdout, for
// the conformance test to compare with the codec's records. All numbers are
// 32-bit little-endian:
//   header: 6 bytes; screen: width, height, colour resolution, background,
//     aspect, sort flag, table length, 3 bytes per entry
//   'X' extension: label, sub-block count, then per sub-block length, bytes
//   'I' image: left, top, width, height, interlace, sort flag, local table
//     length (0: none), 3 bytes per entry, rows complete (in data order),
//     width x height pixels in display order (0 where not decoded)
//   'E' end: 0 after the trailer, 1 where giflib gave up
// Usage: gif_oracle FILE
#include <gif_lib.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

void put32(int32_t v) {
    unsigned char b[4] = {(unsigned char)v, (unsigned char)(v >> 8), (unsigned char)(v >> 16),
                          (unsigned char)(v >> 24)};
    fwrite(b, 1, 4, stdout);
}

void put_map(const ColorMapObject *map) {
    put32(map ? map->ColorCount : 0);
    for (int i = 0; map && i < map->ColorCount; i++) {
        const GifColorType &c = map->Colors[i];
        unsigned char rgb[3] = {c.Red, c.Green, c.Blue};
        fwrite(rgb, 1, 3, stdout);
    }
}

int finish(GifFileType *gif, int gave_up) {
    putchar('E');
    put32(gave_up);
    int error;
    DGifCloseFile(gif, &error);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: gif_oracle FILE\n");
        return 2;
    }
    int error = 0;
    GifFileType *gif = DGifOpenFileName(argv[1], &error);
    if (!gif) {
        fprintf(stderr, "gif_oracle: %s: %s\n", argv[1], GifErrorString(error));
        return 1;
    }
    // giflib checks the signature but keeps no version: take it as stored.
    char header[6] = {};
    if (FILE *f = fopen(argv[1], "rb")) {
        if (fread(header, 1, 6, f) != 6) memset(header, 0, 6);
        fclose(f);
    }
    fwrite(header, 1, 6, stdout);
    put32(gif->SWidth);
    put32(gif->SHeight);
    put32(gif->SColorResolution);
    put32(gif->SBackGroundColor);
    put32(gif->AspectByte);
    put32(gif->SColorMap ? gif->SColorMap->SortFlag : 0);
    put_map(gif->SColorMap);

    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return finish(gif, 1);
        if (type == TERMINATE_RECORD_TYPE) return finish(gif, 0);
        if (type == EXTENSION_RECORD_TYPE) {
            int label;
            GifByteType *block;
            std::vector<std::vector<unsigned char>> blocks;
            int status = DGifGetExtension(gif, &label, &block);
            while (status != GIF_ERROR && block) {
                blocks.emplace_back(block + 1, block + 1 + block[0]);
                status = DGifGetExtensionNext(gif, &block);
            }
            putchar('X');
            put32(label);
            put32((int32_t)blocks.size());
            for (const auto &b : blocks) {
                put32((int32_t)b.size());
                fwrite(b.data(), 1, b.size(), stdout);
            }
            if (status == GIF_ERROR) return finish(gif, 1);
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR) return finish(gif, 1);
            const GifImageDesc &d = gif->Image;
            std::vector<unsigned char> pixels((size_t)d.Width * (size_t)d.Height);
            static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
            int complete = 0, gave_up = 0;
            for (int pass = 0; pass < (d.Interlace ? 4 : 1) && !gave_up; pass++) {
                for (int r = d.Interlace ? start[pass] : 0; r < d.Height; r += d.Interlace ? step[pass] : 1) {
                    if (DGifGetLine(gif, pixels.data() + (size_t)r * (size_t)d.Width, d.Width) == GIF_ERROR) {
                        gave_up = 1;
                        break;
                    }
                    complete++;
                }
            }
            putchar('I');
            put32(d.Left);
            put32(d.Top);
            put32(d.Width);
            put32(d.Height);
            put32(d.Interlace);
            put32(d.ColorMap ? d.ColorMap->SortFlag : 0);
            put_map(d.ColorMap);
            put32(complete);
            fwrite(pixels.data(), 1, pixels.size(), stdout);
            if (gave_up) return finish(gif, 1);
        } else {
            return finish(gif, 1);
        }
    }
}
