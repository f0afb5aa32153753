// The GifBlockQVR, GifExtensionQVR and GifDataQVR classes: placeholder until the class is implemented.
#include "classes/classes.h"

int32_t GifBlockQVR_GetIntro(REALobject, int32_t)
{
    return 0;
}

void GifBlockQVR_SetIntro(REALobject, int32_t, int32_t)
{
}

REALobject GifBlockQVR_GetExtension(REALobject, int32_t)
{
    return nullptr;
}

void GifBlockQVR_SetExtension(REALobject, int32_t, REALobject)
{
}

REALobject GifBlockQVR_GetPicture(REALobject, int32_t)
{
    return nullptr;
}

void GifBlockQVR_SetPicture(REALobject, int32_t, REALobject)
{
}

void GifBlockQVR_Destructor(REALobject)
{
}

int32_t GifExtensionQVR_GetCount(REALobject, int32_t)
{
    return 0;
}

int32_t GifExtensionQVR_GetMarker(REALobject, int32_t)
{
    return 0;
}

void GifExtensionQVR_SetMarker(REALobject, int32_t, int32_t)
{
}

REALobject GifExtensionQVR_Data(REALobject, int32_t)
{
    return nullptr;
}

void GifExtensionQVR_Add(REALobject, REALobject)
{
}

void GifExtensionQVR_Destructor(REALobject)
{
}

int32_t GifDataQVR_GetLength(REALobject, int32_t)
{
    return 0;
}

REALstring GifDataQVR_GetDataString(REALobject, int32_t)
{
    return nullptr;
}

void GifDataQVR_SetDataString(REALobject, int32_t, REALstring)
{
}

REALmemoryBlock GifDataQVR_GetDataMemory(REALobject, int32_t)
{
    return nullptr;
}

void GifDataQVR_SetDataMemory(REALobject, int32_t, REALmemoryBlock)
{
}

void GifDataQVR_Destructor(REALobject)
{
}
