// Saving GIFQVR objects to folder items: placeholder until the class is implemented.
#include "classes/classes.h"

RBBoolean SaveGIFfile1(REALfolderItem, REALobject)
{
    return 0;
}

RBBoolean write_gif_file(REALfolderItem, Gif *)
{
    return 0;
}

GifPalette *MakePalette(REALobject)
{
    return nullptr;
}

GifData *MakeGifData(REALobject)
{
    return nullptr;
}

GifExtension *MakeGifExtension(REALobject)
{
    return nullptr;
}

GifPicture *MakeGifPicture(REALobject)
{
    return nullptr;
}

GifBlock *MakeGifBlock(REALobject)
{
    return nullptr;
}
