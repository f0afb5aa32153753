/* Reference-holding fields of the scripting objects: a setter lets go of the
 * old value and keeps the new one locked; a getter hands the host a
 * reference of its own. */
#ifndef GIFQVR_CLASSES_OBJECT_SLOTS_H
#define GIFQVR_CLASSES_OBJECT_SLOTS_H

#include "classes/classes.h"

// The old value is unlocked first, then the new one locked. Storing the value
// already held is safe: the host holds its own reference to a setter's
// argument for the whole call.
inline void ReplaceObject(REALobject *slot, REALobject value)
{
    if (*slot)
        REALUnlockObject(*slot);
    if (value)
        REALLockObject(value);
    *slot = value;
}

inline void ReplaceMemoryBlock(REALmemoryBlock *slot, REALmemoryBlock value)
{
    if (*slot)
        REALUnlockObject(reinterpret_cast<REALobject>(*slot));
    if (value)
        REALLockObject(reinterpret_cast<REALobject>(value));
    *slot = value;
}

inline void ReplaceString(REALstring *slot, REALstring value)
{
    if (*slot)
        REALUnlockString(*slot);
    if (value)
        REALLockString(value);
    *slot = value;
}

inline REALobject ShareObject(REALobject value)
{
    if (value)
        REALLockObject(value);
    return value;
}

inline REALstring ShareString(REALstring value)
{
    if (value)
        REALLockString(value);
    return value;
}

inline void ReleaseObject(REALobject *slot)
{
    if (*slot)
        REALUnlockObject(*slot);
    *slot = nullptr;
}

inline void ReleaseString(REALstring *slot)
{
    if (*slot)
        REALUnlockString(*slot);
    *slot = nullptr;
}

// "Palette" of a screen or picture: a fresh view of the record's table when
// there is one (and the host makes it), else the stored object.
inline REALobject PaletteObject(GifPalette *table, REALobject owner, REALobject stored)
{
    if (table) {
        REALobject view = MakeGifPaletteView(table, owner);
        if (view)
            return view;
    }
    return ShareObject(stored);
}

#endif
