#include "tool_directory.h"

#include <cstring>

const char SETTINGS_FILE_NAME[] = "LORVANE_SET.INI";

static_assert(sizeof(SETTINGS_FILE_NAME) - 1 == 15, "the settings file name has 15 characters");

std::size_t ToolDirectoryLength(const char* pszCommand)
{
    if (pszCommand == nullptr)
        return 0;
    const char* pszBackslash = std::strrchr(pszCommand, '\\');
    return pszBackslash == nullptr ? 0 : static_cast<std::size_t>(pszBackslash - pszCommand) + 1;
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
