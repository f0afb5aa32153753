// The GifPictureQVR class: placeholder until the class is implemented.
#include "classes/classes.h"

int32_t GifPictureQVR_GetLeft(REALobject, int32_t)
{
    return 0;
}

void GifPictureQVR_SetLeft(REALobject, int32_t, int32_t)
{
}

int32_t GifPictureQVR_GetTop(REALobject, int32_t)
{
    return 0;
}

void GifPictureQVR_SetTop(REALobject, int32_t, int32_t)
{
}

int32_t GifPictureQVR_GetWidth(REALobject, int32_t)
{
    return 0;
}

void GifPictureQVR_SetWidth(REALobject, int32_t, int32_t)
{
}

int32_t GifPictureQVR_GetHeight(REALobject, int32_t)
{
    return 0;
}

void GifPictureQVR_SetHeight(REALobject, int32_t, int32_t)
{
}

RBBoolean GifPictureQVR_GetInterlace(REALobject, int32_t)
{
    return 0;
}

void GifPictureQVR_SetInterlace(REALobject, int32_t, RBBoolean)
{
}

RBBoolean GifPictureQVR_GetSorted(REALobject, int32_t)
{
    return 0;
}

void GifPictureQVR_SetSorted(REALobject, int32_t, RBBoolean)
{
}

int32_t GifPictureQVR_GetPaletteDepth(REALobject, int32_t)
{
    return 0;
}

void GifPictureQVR_SetPaletteDepth(REALobject, int32_t, int32_t)
{
}

REALobject GifPictureQVR_GetPalette(REALobject, int32_t)
{
    return nullptr;
}

void GifPictureQVR_SetPalette(REALobject, int32_t, REALobject)
{
}

REALmemoryBlock GifPictureQVR_GetData(REALobject, int32_t)
{
    return nullptr;
}

void GifPictureQVR_SetData(REALobject, int32_t, REALmemoryBlock)
{
}

REALmemoryBlock GifPictureQVR_PixelData(REALobject, int32_t)
{
    return nullptr;
}

REALpicture GifPictureQVR_MakePicture(REALobject)
{
    return nullptr;
}

REALpicture GifPictureQVR_MakeMask(REALobject)
{
    return nullptr;
}

REALpicture GifPictureQVR_MakeMaskIndex(REALobject, int32_t)
{
    return nullptr;
}

void GifPictureQVR_Destructor(REALobject)
{
}
