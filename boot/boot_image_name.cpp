#include "boot_image_name.h"

#include <cwchar>

bool IsBootImageName(const wchar_t* pszPath)
{
    if (pszPath == nullptr)
        return false;
    const wchar_t* pszExtension = std::wcsrchr(pszPath, L'.');
    if (pszExtension == nullptr)
        return false;
    return std::wcscmp(pszExtension, L".bin") == 0 || std::wcscmp(pszExtension, L".BIN") == 0;
}
