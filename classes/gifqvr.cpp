// The GIFQVR class: placeholder until the class is implemented.
#include "classes/classes.h"

int32_t GIFQVR_GetCount(REALobject, int32_t)
{
    return 0;
}

REALobject GIFQVR_GetScreen(REALobject, int32_t)
{
    return nullptr;
}

void GIFQVR_SetScreen(REALobject, int32_t, REALobject)
{
}

REALstring GIFQVR_GetHeader(REALobject, int32_t)
{
    return nullptr;
}

void GIFQVR_SetHeader(REALobject, int32_t, REALstring)
{
}

REALobject GIFQVR_Block(REALobject, int32_t)
{
    return nullptr;
}

void GIFQVR_Add(REALobject, REALobject)
{
}

REALpicture GIFQVR_MakeFirstPicture(REALobject)
{
    return nullptr;
}

REALpicture GIFQVR_MakeFirstMask(REALobject)
{
    return nullptr;
}

REALpicture GIFQVR_MakeFirstPictureWithMask(REALobject)
{
    return nullptr;
}

RBBoolean GIFQVR_Print(REALobject, REALfolderItem)
{
    return 0;
}

void GIFQVR_Destructor(REALobject)
{
}
