// Folder items opened as stdio streams through their System-encoded path.
#include "host/host.h"

#include <stdio.h>

REALstring GetFolderItemPathWithSystemEncoding(REALfolderItem item)
{
    if (!item)
        return nullptr;
    REALstring path = REALpathFromFolderItem(item);
    if (!path)
        return nullptr;
    REALstring converted = REALConvertString(path, REALGetFontEncoding("System"));
    REALUnlockString(path);
    return converted;
}

FILE *OpenCFILEmode(REALfolderItem item, const char *mode, int32_t bufferSize)
{
    if (!item || !mode)
        return nullptr;
    REALstring path = GetFolderItemPathWithSystemEncoding(item);
    if (!path)
        return nullptr;
    const char *text = REALStringBytes(path);
    FILE *file = text ? fopen(text, mode) : nullptr;
    REALUnlockString(path);
    if (file && bufferSize > 0)
        setvbuf(file, nullptr, _IOFBF, static_cast<size_t>(bufferSize));
    return file;
}

FILE *OpenCFILEread(REALfolderItem item, int32_t bufferSize)
{
    return OpenCFILEmode(item, "rb", bufferSize);
}

FILE *OpenCFILEwrite(REALfolderItem item, int32_t bufferSize)
{
    return OpenCFILEmode(item, "wb", bufferSize);
}
