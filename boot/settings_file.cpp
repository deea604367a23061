#include "settings_file.h"

#include "tool_directory.h"
#include "tool_registration.h"

#include <cstring>

SETTINGS_LOOKUP LocateSettingsFile(PATHBUFFER& szSettingsPath)
{
    std::memset(szSettingsPath, 0, sizeof(szSettingsPath));

    PATHBUFFER szDirectory;
    switch (ReadToolDirectory(szDirectory)) {
    case TOOL_DIRECTORY_NO_COMMAND:
        return SETTINGS_NO_COMMAND;
    case TOOL_DIRECTORY_NO_BACKSLASH:
        return SETTINGS_NO_DIRECTORY;
    case TOOL_DIRECTORY_FOUND:
        break;
    }
    return SettingsFilePath(szDirectory, szSettingsPath) ? SETTINGS_FOUND : SETTINGS_PATH_TOO_LONG;
}
