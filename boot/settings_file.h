#pragma once
// Finds the settings file through the launcher's registration.

#include "boot_outcome.h"
#include "path_buffer.h"

enum SETTINGS_LOOKUP
{
    SETTINGS_FOUND,
    SETTINGS_NO_COMMAND,       // registry value missing, unreadable or empty
    SETTINGS_NO_DIRECTORY,     // the value names no folder
    SETTINGS_PATH_TOO_LONG,    // the folder leaves no room for the file name
    SETTINGS_REFUSED,          // the program that drives the request refused the file
};

SETTINGS_LOOKUP LocateSettingsFile(PATHBUFFER& szSettingsPath);

// The request's outcome when the lookup found no usable file: the lookup's
// failures are the request's first outcomes, in the same order.
inline BOOT_OUTCOME SettingsOutcome(SETTINGS_LOOKUP lookup)
{
    return static_cast<BOOT_OUTCOME>(BOOT_NO_COMMAND + (lookup - SETTINGS_NO_COMMAND));
}
static_assert(BOOT_NO_TOOL_DIRECTORY - BOOT_NO_COMMAND == SETTINGS_NO_DIRECTORY - SETTINGS_NO_COMMAND
              && BOOT_SETTINGS_PATH_TOO_LONG - BOOT_NO_COMMAND == SETTINGS_PATH_TOO_LONG - SETTINGS_NO_COMMAND
              && BOOT_SETTINGS_REFUSED - BOOT_NO_COMMAND == SETTINGS_REFUSED - SETTINGS_NO_COMMAND,
              "a settings lookup's failures map onto the outcomes in order");
