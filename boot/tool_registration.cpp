#include "tool_registration.h"

#include "registry_key.h"
#include "tool_directory.h"

#include <windows.h>

#include <cstring>

const char LAUNCHER_COMMAND_KEY[] = "Applications\\Kestrun.exe\\shell\\open\\command";

bool ReadLauncherCommand(PATHBUFFER& szCommand)
{
    std::memset(szCommand, 0, sizeof(szCommand));

    // Read access only: asking for more fails for a standard user and for a
    // non-elevated Explorer, though reading is all that is needed.
    CRegistryKey key;
    if (key.Open(HKEY_CLASSES_ROOT, LAUNCHER_COMMAND_KEY, KEY_READ) != ERROR_SUCCESS)
        return false;

    DWORD dwType = REG_NONE;
    DWORD cbData = sizeof(szCommand);
    LONG lResult = RegQueryValueExA(key.Get(), NULL, NULL, &dwType,
                                    reinterpret_cast<BYTE*>(szCommand), &cbData);
    bool bText = lResult == ERROR_SUCCESS
              && (dwType == REG_SZ || dwType == REG_EXPAND_SZ)
              && std::memchr(szCommand, '\0', sizeof(szCommand)) != nullptr;
    if (!bText) {
        std::memset(szCommand, 0, sizeof(szCommand));
        return false;
    }
    return szCommand[0] != '\0';
}

TOOL_DIRECTORY_RESULT ReadToolDirectory(PATHBUFFER& szDirectory)
{
    if (!ReadLauncherCommand(szDirectory))
        return TOOL_DIRECTORY_NO_COMMAND;

    std::size_t cchDirectory = ToolDirectoryLength(szDirectory);
    std::memset(szDirectory + cchDirectory, 0, sizeof(szDirectory) - cchDirectory);
    return cchDirectory == 0 ? TOOL_DIRECTORY_NO_BACKSLASH : TOOL_DIRECTORY_FOUND;
}
