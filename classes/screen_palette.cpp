// The GifScreenQVR and GifPaletteQVR classes: placeholder until the class is implemented.
#include "classes/classes.h"

int32_t GifScreenQVR_GetWidth(REALobject, int32_t)
{
    return 0;
}

void GifScreenQVR_SetWidth(REALobject, int32_t, int32_t)
{
}

int32_t GifScreenQVR_GetHeight(REALobject, int32_t)
{
    return 0;
}

void GifScreenQVR_SetHeight(REALobject, int32_t, int32_t)
{
}

int32_t GifScreenQVR_GetColorResolution(REALobject, int32_t)
{
    return 0;
}

void GifScreenQVR_SetColorResolution(REALobject, int32_t, int32_t)
{
}

RBBoolean GifScreenQVR_GetSorted(REALobject, int32_t)
{
    return 0;
}

void GifScreenQVR_SetSorted(REALobject, int32_t, RBBoolean)
{
}

int32_t GifScreenQVR_GetPaletteDepth(REALobject, int32_t)
{
    return 0;
}

void GifScreenQVR_SetPaletteDepth(REALobject, int32_t, int32_t)
{
}

REALobject GifScreenQVR_GetPalette(REALobject, int32_t)
{
    return nullptr;
}

void GifScreenQVR_SetPalette(REALobject, int32_t, REALobject)
{
}

int32_t GifScreenQVR_GetBackgroundColor(REALobject, int32_t)
{
    return 0;
}

void GifScreenQVR_SetBackgroundColor(REALobject, int32_t, int32_t)
{
}

int32_t GifScreenQVR_GetAspect(REALobject, int32_t)
{
    return 0;
}

void GifScreenQVR_SetAspect(REALobject, int32_t, int32_t)
{
}

void GifScreenQVR_Destructor(REALobject)
{
}

int32_t GifPaletteQVR_GetCount(REALobject, int32_t)
{
    return 0;
}

void GifPaletteQVR_SetCount(REALobject, int32_t, int32_t)
{
}

RBColor GifPaletteQVR_Value(REALobject, int32_t)
{
    return 0;
}

void GifPaletteQVR_SetValue(REALobject, int32_t, RBColor)
{
}

int32_t GifPaletteQVR_Blue(REALobject, int32_t)
{
    return 0;
}

void GifPaletteQVR_SetBlue(REALobject, int32_t, int32_t)
{
}

int32_t GifPaletteQVR_Green(REALobject, int32_t)
{
    return 0;
}

void GifPaletteQVR_SetGreen(REALobject, int32_t, int32_t)
{
}

int32_t GifPaletteQVR_Red(REALobject, int32_t)
{
    return 0;
}

void GifPaletteQVR_SetRed(REALobject, int32_t, int32_t)
{
}

void GifPaletteQVR_Destructor(REALobject)
{
}
