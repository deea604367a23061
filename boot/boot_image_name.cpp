#include "boot_image_name.h"

#include <cstring>

bool IsBootImageName(const char* pszPath)
{
    if (pszPath == nullptr)
        return false;
    const char* pszExtension = std::strrchr(pszPath, '.');
    if (pszExtension == nullptr)
        return false;
    return std::strcmp(pszExtension, ".bin") == 0 || std::strcmp(pszExtension, ".BIN") == 0;
}
