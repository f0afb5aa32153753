// Loading GIF bytes from host strings and folder items into records, GIFQVR
// objects and pictures.
#include "classes/classes.h"

#include <stdio.h>
#include <string.h>

#include "picture/picture.h"

namespace {

// Only the signature is checked; any version and a truncated file load.
Gif *AcceptGif(Gif *gif)
{
    if (memcmp(gif->header, "GIF", 3) != 0) {
        del_gif(gif);
        return nullptr;
    }
    return gif;
}

REALobject WrapGif(Gif *gif)
{
    if (!gif)
        return nullptr;
    REALobject object = REALnewInstance(GifClass.name);
    GIFQVRData *data = GetGIFQVRData(object);
    if (!data) {
        del_gif(gif);
        return nullptr;
    }
    data->gif = gif;
    return object;
}

} // namespace

Gif *read_gif_file(REALstring data)
{
    GifStream stream;
    memset(&stream, 0, sizeof stream);
    int32_t length = REALStringLength(data);
    // The string's bytes are read in place; a nil string is an empty stream.
    stream.stream_data = reinterpret_cast<const unsigned char *>(REALStringBytes(data));
    stream.stream_size = (stream.stream_data && length > 0) ? length : 0;
    Gif *gif = new_gif();
    if (!gif)
        return nullptr;
    read_gif(&stream, gif);
    return AcceptGif(gif);
}

Gif *read_gif_file(REALfolderItem item)
{
    FILE *file = OpenCFILEread(item, 0);
    if (!file)
        return nullptr;
    Gif *gif = new_gif();
    if (!gif) {
        fclose(file);
        return nullptr;
    }
    GifStream stream;
    memset(&stream, 0, sizeof stream);
    stream.stream_file = file;
    read_gif(&stream, gif);
    fclose(file);
    return AcceptGif(gif);
}

GifPicture *FindFirstGifPicture(Gif *gif)
{
    if (!gif || gif->block_count <= 0 || !gif->blocks)
        return nullptr;
    for (int32_t i = 0; i < gif->block_count; ++i) {
        if (gif->blocks[i] && gif->blocks[i]->pic)
            return gif->blocks[i]->pic;
    }
    return nullptr;
}

REALobject OpenGIFstring(REALstring data)
{
    return WrapGif(read_gif_file(data));
}

REALobject OpenGIFfile1(REALfolderItem item)
{
    return WrapGif(read_gif_file(item));
}

REALpicture GifStringToPictureQVR(REALstring data)
{
    Gif *gif = read_gif_file(data);
    if (!gif)
        return nullptr;
    REALpicture picture = MakePictureWithMask(gif, FindFirstGifPicture(gif));
    del_gif(gif);
    return picture;
}
