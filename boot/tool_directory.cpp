#include "tool_directory.h"

#include <cstring>

const char SETTINGS_FILE_NAME[] = "LORVANE_SET.INI";

static_assert(sizeof(SETTINGS_FILE_NAME) - 1 == 15, "the settings file name has 15 characters");

TOOL_DIRECTORY_SPAN FindToolDirectory(const char* pszCommand)
{
    TOOL_DIRECTORY_SPAN span = {0, 0};
    if (pszCommand == nullptr)
        return span;
    // A launcher path with blanks must be quoted, or the shell starts
    // whatever program its first word names.
    span.ichFirst = pszCommand[0] == '"' ? 1 : 0;
    const char* pszBackslash = std::strrchr(pszCommand + span.ichFirst, '\\');
    if (pszBackslash != nullptr)
        span.cch = static_cast<std::size_t>(pszBackslash - pszCommand) + 1 - span.ichFirst;
    return span;
}

bool SettingsFilePath(const char* pszDirectory, PATHBUFFER& szSettingsPath)
{
    std::memset(szSettingsPath, 0, sizeof(szSettingsPath));
    if (pszDirectory == nullptr)
        return false;

    // Measure without running past what could fit, whatever the input's length.
    std::size_t cchDirectory = 0;
    while (cchDirectory <= MAX_TOOL_DIRECTORY && pszDirectory[cchDirectory] != '\0')
        ++cchDirectory;
    if (cchDirectory > MAX_TOOL_DIRECTORY)
        return false;

    std::memcpy(szSettingsPath, pszDirectory, cchDirectory);
    std::memcpy(szSettingsPath + cchDirectory, SETTINGS_FILE_NAME, sizeof(SETTINGS_FILE_NAME));
    return true;
}
