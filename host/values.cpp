// Lists of locked host objects, and host strings and memory blocks built
// from bytes.
#include "host/host.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

int32_t MyListAppend(MyListData **list, REALobject object)
{
    if (!list || !object)
        return 0;
    MyListData **link = list;
    while (*link)
        link = &(*link)->next;
    MyListData *node = static_cast<MyListData *>(calloc(1, sizeof(MyListData)));
    if (!node)
        return 0;
    REALLockObject(object);
    node->object = object;
    node->next = nullptr;
    *link = node;
    return 1;
}

int32_t MyListCount(MyListData *list)
{
    int32_t count = 0;
    for (MyListData *node = list; node; node = node->next)
        count++;
    return count;
}

REALobject MyListGet(MyListData *list, int32_t index)
{
    if (index < 0)
        return nullptr;
    int32_t position = 0;
    for (MyListData *node = list; node; node = node->next, position++) {
        if (position == index) {
            if (!node->object)
                return nullptr;
            REALLockObject(node->object);
            return node->object;
        }
    }
    return nullptr;
}

void MyListFree(MyListData **list)
{
    if (!list)
        return;
    MyListData *node = *list;
    while (node) {
        MyListData *next = node->next;
        if (node->object)
            REALUnlockObject(node->object);
        free(node);
        node = next;
    }
    *list = nullptr;
}

REALmemoryBlock REALBuildMemoryblock(const void *bytes, int32_t length)
{
    if (!bytes || length <= 0)
        return nullptr;
    REALmemoryBlock block = REALNewMemoryBlock(length);
    if (!block)
        return nullptr;
    void *target = REALMemoryBlockGetPtr(block);
    if (!target) {
        REALUnlockObject(reinterpret_cast<REALobject>(block));
        return nullptr;
    }
    // The source may lie inside another host block.
    memmove(target, bytes, static_cast<size_t>(length));
    return block;
}

REALstring REALBuildUnicodeString(const void *bytes, uint32_t length, uint32_t encoding)
{
    // The host takes a signed count; a longer run cannot be passed on whole.
    if (!bytes || length == 0 || length > static_cast<uint32_t>(INT32_MAX))
        return nullptr;
    REALstring str = originalREALBuildString(static_cast<const char *>(bytes),
                                             static_cast<int32_t>(length));
    if (!str)
        return nullptr;
    REALSetStringEncoding(str, encoding);
    return str;
}
