#include "command_line.h"

#include <cstring>

bool ImagePathFromCommandLine(const char* pszCmdLine, PATHBUFFER& szImagePath)
{
    std::memset(szImagePath, 0, sizeof(szImagePath));
    if (pszCmdLine == nullptr)
        return true;

    std::size_t cchCmdLine = 0;
    while (cchCmdLine <= MAX_LAUNCHER_COMMAND_LINE && pszCmdLine[cchCmdLine] != '\0')
        ++cchCmdLine;
    if (cchCmdLine > MAX_LAUNCHER_COMMAND_LINE)
        return false;

    // At most 258 characters: they always fit with their terminator.
    if (cchCmdLine >= 2)
        std::memcpy(szImagePath, pszCmdLine + 1, cchCmdLine - 2);
    return true;
}
