#include "boot_image_name.h"

#include <cwchar>

namespace {

// The UTF-16 text equals the ASCII text character for character.
bool EqualsAscii(const wchar_t* pszText, const char* pszAscii)
{
    for (; *pszAscii != '\0'; ++pszText, ++pszAscii)
        if (*pszText != static_cast<wchar_t>(*pszAscii))
            return false;
    return *pszText == L'\0';
}

} // namespace

bool IsBootImageName(const wchar_t* pszPath)
{
    if (pszPath == nullptr)
        return false;
    const wchar_t* pszExtension = std::wcsrchr(pszPath, L'.');
    if (pszExtension == nullptr)
        return false;
    return EqualsAscii(pszExtension, ".bin") || EqualsAscii(pszExtension, ".BIN");
}
