#pragma once
// Where the tool lives, worked out from the text of the launcher's shell open
// command (the launcher's path, unquoted, then the quoted "%1").

#include "path_buffer.h"

#include <cstddef>

// The settings file the boot library and the download address share.
extern const char SETTINGS_FILE_NAME[];   // "LORVANE_SET.INI"

// The longest directory whose settings path still fits a path buffer with its
// terminator: 260 - 1 - 15 = 244 characters.
enum : std::size_t { MAX_TOOL_DIRECTORY = PATH_BUFFER_SIZE - 1 - 15 };

// Length of the tool directory: everything up to and including the last
// backslash of the command text (byte by byte). 0 when there is none.
std::size_t ToolDirectoryLength(const char* pszCommand);

// The directory followed by SETTINGS_FILE_NAME. When the directory is longer
// than MAX_TOOL_DIRECTORY the path would not fit: the buffer is left empty and
// the result is false.
bool SettingsFilePath(const char* pszDirectory, PATHBUFFER& szSettingsPath);
