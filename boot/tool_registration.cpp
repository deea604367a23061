#include "tool_registration.h"

#include "registry_text.h"
#include "tool_directory.h"

#include <windows.h>

#include <cstring>

const char LAUNCHER_COMMAND_KEY[] = "Applications\\Kestrun.exe\\shell\\open\\command";

bool ReadLauncherCommand(PATHBUFFER& szCommand)
{
    return ReadRegisteredCommand(szCommand);
}

TOOL_DIRECTORY_RESULT ReadToolDirectory(PATHBUFFER& szDirectory)
{
    if (!ReadLauncherCommand(szDirectory))
        return TOOL_DIRECTORY_NO_COMMAND;

    const TOOL_DIRECTORY_SPAN span = FindToolDirectory(szDirectory);
    std::memmove(szDirectory, szDirectory + span.ichFirst, span.cch);
    std::memset(szDirectory + span.cch, 0, sizeof(szDirectory) - span.cch);
    return span.cch == 0 ? TOOL_DIRECTORY_NO_BACKSLASH : TOOL_DIRECTORY_FOUND;
}
