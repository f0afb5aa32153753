/* Compiled into benchmark programs only. */
#define WUFFS_IMPLEMENTATION
#define WUFFS_CONFIG__MODULES
#define WUFFS_CONFIG__MODULE__BASE
#define WUFFS_CONFIG__MODULE__GIF
#define WUFFS_CONFIG__MODULE__LZW
#include "wuffs-v0.3.c"

#include "wuffs_peer.h"

#include <stdlib.h>

int wuffs_peer_decode(const uint8_t *data, size_t size) {
    wuffs_gif__decoder *dec = wuffs_gif__decoder__alloc();
    if (!dec) return -1;
    wuffs_base__io_buffer src = wuffs_base__ptr_u8__reader((uint8_t *)data, size, true);
    wuffs_base__image_config ic;
    int frames = -1;
    uint8_t *canvas = NULL, *work = NULL;
    if (wuffs_gif__decoder__decode_image_config(dec, &ic, &src).repr) goto done;
    uint32_t w = wuffs_base__pixel_config__width(&ic.pixcfg);
    uint32_t h = wuffs_base__pixel_config__height(&ic.pixcfg);
    wuffs_base__pixel_config__set(&ic.pixcfg, WUFFS_BASE__PIXEL_FORMAT__INDEXED__BGRA_BINARY,
                                  WUFFS_BASE__PIXEL_SUBSAMPLING__NONE, w, h);
    size_t canvas_len = 1024 + (size_t)w * h;
    size_t work_len = (size_t)wuffs_gif__decoder__workbuf_len(dec).max_incl;
    canvas = malloc(canvas_len);
    work = malloc(work_len ? work_len : 1);
    if (!canvas || !work) goto done;
    wuffs_base__pixel_buffer pb;
    if (wuffs_base__pixel_buffer__set_from_slice(&pb, &ic.pixcfg,
                                                 wuffs_base__make_slice_u8(canvas, canvas_len)).repr)
        goto done;
    frames = 0;
    for (;;) {
        wuffs_base__frame_config fc;
        wuffs_base__status st = wuffs_gif__decoder__decode_frame_config(dec, &fc, &src);
        if (st.repr == wuffs_base__note__end_of_data) break;
        if (st.repr) {
            frames = -1;
            break;
        }
        st = wuffs_gif__decoder__decode_frame(dec, &pb, &src, WUFFS_BASE__PIXEL_BLEND__SRC,
                                               wuffs_base__make_slice_u8(work, work_len), NULL);
        if (st.repr) {
            frames = -1;
            break;
        }
        frames++;
    }
done:
    free(canvas);
    free(work);
    free(dec);
    return frames;
}
