// The GIFQVR class: a whole GIF file, either owning a loaded record or
// holding the screen, header and blocks a script gave it.
#include "classes/classes.h"
#include "classes/object_slots.h"

#include <stdio.h>

#include "picture/picture.h"

namespace {

int32_t HeaderLength(const Gif *gif)
{
    int32_t length = 0;
    while (length < static_cast<int32_t>(sizeof gif->header) && gif->header[length])
        ++length;
    return length;
}

} // namespace

int32_t GIFQVR_GetCount(REALobject self, int32_t)
{
    GIFQVRData *data = GetGIFQVRData(self);
    if (!data)
        return 0;
    if (data->gif)
        return data->gif->block_count;
    return MyListCount(data->blocks);
}

REALobject GIFQVR_GetScreen(REALobject self, int32_t)
{
    GIFQVRData *data = GetGIFQVRData(self);
    if (!data)
        return nullptr;
    if (data->gif && data->gif->screen) {
        REALobject view = MakeGifScreenView(data->gif->screen, self);
        if (view)
            return view;
    }
    return ShareObject(data->screen);
}

void GIFQVR_SetScreen(REALobject self, int32_t, REALobject value)
{
    if (GIFQVRData *data = GetGIFQVRData(self))
        ReplaceObject(&data->screen, value);
}

REALstring GIFQVR_GetHeader(REALobject self, int32_t)
{
    GIFQVRData *data = GetGIFQVRData(self);
    if (!data)
        return nullptr;
    if (data->gif) {
        int32_t length = HeaderLength(data->gif);
        return REALBuildUnicodeString(data->gif->header, static_cast<uint32_t>(length),
                                      kREALTextEncodingASCII);
    }
    return ShareString(data->header);
}

void GIFQVR_SetHeader(REALobject self, int32_t, REALstring value)
{
    if (GIFQVRData *data = GetGIFQVRData(self))
        ReplaceString(&data->header, value);
}

REALobject GIFQVR_Block(REALobject self, int32_t index)
{
    GIFQVRData *data = GetGIFQVRData(self);
    if (!data)
        return nullptr;
    const Gif *gif = data->gif;
    // Unsigned, so a negative index is out of range.
    if (gif && gif->block_count > 0 && gif->blocks &&
        static_cast<uint32_t>(index) < static_cast<uint32_t>(gif->block_count) &&
        gif->blocks[index]) {
        REALobject view = MakeGifBlockView(gif->blocks[index], self);
        if (view)
            return view;
    }
    return MyListGet(data->blocks, index);
}

void GIFQVR_Add(REALobject self, REALobject block)
{
    GIFQVRData *data = GetGIFQVRData(self);
    if (data && block)
        MyListAppend(&data->blocks, block);
}

REALpicture GIFQVR_MakeFirstPicture(REALobject self)
{
    GIFQVRData *data = GetGIFQVRData(self);
    if (!data)
        return nullptr;
    return MakePictureFromGifPicture(data->gif, FindFirstGifPicture(data->gif));
}

REALpicture GIFQVR_MakeFirstMask(REALobject self)
{
    GIFQVRData *data = GetGIFQVRData(self);
    if (!data)
        return nullptr;
    GifPicture *image = FindFirstGifPicture(data->gif);
    if (!image)
        return nullptr;
    return MakeMaskFromGifPicture(image, FindBGColor(data->gif, image));
}

REALpicture GIFQVR_MakeFirstPictureWithMask(REALobject self)
{
    GIFQVRData *data = GetGIFQVRData(self);
    if (!data)
        return nullptr;
    return MakePictureWithMask(data->gif, FindFirstGifPicture(data->gif));
}

RBBoolean GIFQVR_Print(REALobject self, REALfolderItem file)
{
    GIFQVRData *data = GetGIFQVRData(self);
    // Without a record there is nothing to dump; leave any existing file alone.
    if (!data || !data->gif || !file)
        return 0;
    FILE *stream = OpenCFILEwrite(file, 0);
    if (!stream)
        return 0;
    print_gif(stream, data->gif);
    bool written = !ferror(stream);
    if (fclose(stream) != 0)
        written = false;
    return written ? 1 : 0;
}

void GIFQVR_Destructor(REALobject self)
{
    GIFQVRData *data = GetGIFQVRData(self);
    if (!data)
        return;
    if (data->gif)
        del_gif(data->gif);
    data->gif = nullptr;
    MyListFree(&data->blocks);
    ReleaseObject(&data->screen);
    ReleaseString(&data->header);
}
