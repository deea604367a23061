#pragma once
// The tool's installation as the registry tells it: the default value of
// HKCR\Applications\Kestrun.exe\shell\open\command names the launcher, and
// the launcher's folder is the tool directory.

#include "path_buffer.h"

extern const char LAUNCHER_COMMAND_KEY[];   // "Applications\Kestrun.exe\shell\open\command"

// Reads the launcher's open command into a zero-filled buffer. Anything but a
// string value (REG_SZ or REG_EXPAND_SZ) that ends with its terminator inside
// the buffer counts as an empty text. True when the text is not empty. The
// UTF-16 form is the command as the shell starts it; the ANSI form is what
// the boot library's settings path is made of.
bool ReadLauncherCommand(PATHBUFFER& szCommand);
bool ReadLauncherCommand(WIDEPATHBUFFER& szCommand);

enum TOOL_DIRECTORY_RESULT
{
    TOOL_DIRECTORY_FOUND,
    TOOL_DIRECTORY_NO_COMMAND,     // value missing, unreadable or empty
    TOOL_DIRECTORY_NO_BACKSLASH,   // the text names no folder
};

// The open command cut after its last backslash, without a leading quote:
// the tool directory with its trailing backslash. The buffer is empty unless
// the result is ..._FOUND.
TOOL_DIRECTORY_RESULT ReadToolDirectory(PATHBUFFER& szDirectory);
