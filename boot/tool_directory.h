#pragma once
// Where the tool lives, worked out from the text of the launcher's shell open
// command: the launcher's path, unquoted or quoted the Windows way, then the
// quoted "%1".

#include "path_buffer.h"

#include <cstddef>

// The settings file the boot library and the download address share.
extern const char SETTINGS_FILE_NAME[];   // "LORVANE_SET.INI"

// The longest directory whose settings path still fits a path buffer with its
// terminator: 260 - 1 - 15 = 244 characters.
enum : std::size_t { MAX_TOOL_DIRECTORY = PATH_BUFFER_SIZE - 1 - 15 };

// The tool directory inside the command text: it begins after one leading
// double quote (a quoted launcher path) and ends with the last backslash,
// byte by byte. cch is 0 when there is no backslash after that quote.
struct TOOL_DIRECTORY_SPAN
{
    std::size_t ichFirst;
    std::size_t cch;
};

TOOL_DIRECTORY_SPAN FindToolDirectory(const char* pszCommand);

// The directory followed by SETTINGS_FILE_NAME. When the directory is longer
// than MAX_TOOL_DIRECTORY the path would not fit: the buffer is left empty and
// the result is false.
bool SettingsFilePath(const char* pszDirectory, PATHBUFFER& szSettingsPath);
