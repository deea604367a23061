#pragma once
// Finds the settings file through the launcher's registration.

#include "path_buffer.h"

enum SETTINGS_LOOKUP
{
    SETTINGS_FOUND,
    SETTINGS_NO_COMMAND,       // registry value missing, unreadable or empty
    SETTINGS_NO_DIRECTORY,     // the value names no folder
    SETTINGS_PATH_TOO_LONG,    // the folder leaves no room for the file name
};

SETTINGS_LOOKUP LocateSettingsFile(PATHBUFFER& szSettingsPath);
