#include "command_line.h"

#include <cstring>

const wchar_t* ArgumentsOfCommandLine(const wchar_t* pszCommandLine)
{
    if (pszCommandLine == nullptr)
        return nullptr;
    const wchar_t* p = pszCommandLine;
    bool bInQuotes = false;
    while (*p > L' ' || (*p != L'\0' && bInQuotes)) {
        if (*p == L'"')
            bInQuotes = !bInQuotes;
        ++p;
    }
    while (*p != L'\0' && *p <= L' ')
        ++p;
    return p;
}

bool ImagePathFromCommandLine(const wchar_t* pszArguments, WIDEPATHBUFFER& szImagePath)
{
    std::memset(szImagePath, 0, sizeof(szImagePath));
    if (pszArguments == nullptr)
        return true;

    std::size_t cchArguments = 0;
    while (cchArguments <= MAX_LAUNCHER_COMMAND_LINE && pszArguments[cchArguments] != L'\0')
        ++cchArguments;
    if (cchArguments > MAX_LAUNCHER_COMMAND_LINE)
        return false;

    // At most 258 characters: they always fit with their terminator.
    if (cchArguments >= 2)
        std::memcpy(szImagePath, pszArguments + 1, (cchArguments - 2) * sizeof(wchar_t));
    return true;
}
