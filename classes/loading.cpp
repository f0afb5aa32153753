// Loading GIF data from host strings and folder items: placeholder until the class is implemented.
#include "classes/classes.h"

REALpicture GifStringToPictureQVR(REALstring)
{
    return nullptr;
}

REALobject OpenGIFstring(REALstring)
{
    return nullptr;
}

REALobject OpenGIFfile1(REALfolderItem)
{
    return nullptr;
}

Gif *read_gif_file(REALstring)
{
    return nullptr;
}

Gif *read_gif_file(REALfolderItem)
{
    return nullptr;
}

GifPicture *FindFirstGifPicture(Gif *)
{
    return nullptr;
}
