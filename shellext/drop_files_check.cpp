#include "drop_files_check.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

namespace {

// The list ends at its first empty name: the first two terminators in a
// row. True when they lie inside the block with at least one name before.
template <class CHAR_T>
bool EndsInside(const CHAR_T* pszFirst, std::size_t cchList)
{
    if (cchList == 0 || pszFirst[0] == 0)
        return false;
    for (std::size_t i = 1; i + 1 < cchList; ++i) {
        if (pszFirst[i] == 0 && pszFirst[i + 1] == 0)
            return true;
    }
    return false;
}

} // namespace

bool IsWellFormedDropFiles(const void* pvBlock, std::size_t cbBlock)
{
    if (pvBlock == nullptr || cbBlock < sizeof(DROPFILES))
        return false;
    DROPFILES header;
    std::memcpy(&header, pvBlock, sizeof(header));
    if (header.pFiles < sizeof(DROPFILES) || header.pFiles >= cbBlock)
        return false;

    const unsigned char* pbList = static_cast<const unsigned char*>(pvBlock) + header.pFiles;
    const std::size_t cbList = cbBlock - header.pFiles;
    if (!header.fWide)
        return EndsInside(reinterpret_cast<const char*>(pbList), cbList);
    // The shell puts a wide list right after the header, on a character
    // boundary; one that is not is no list the shell wrote.
    if (header.pFiles % sizeof(wchar_t) != 0)
        return false;
    return EndsInside(reinterpret_cast<const wchar_t*>(pbList), cbList / sizeof(wchar_t));
}
