#include "tool_registration.h"

#include "registry_key.h"
#include "tool_directory.h"

#include <windows.h>

#include <cstring>

const char LAUNCHER_COMMAND_KEY[] = "Applications\\Kestrun.exe\\shell\\open\\command";

namespace {

LONG QueryDefaultValue(HKEY hKey, char* pszText, DWORD* pdwType, DWORD* pcbText)
{
    return RegQueryValueExA(hKey, NULL, NULL, pdwType, reinterpret_cast<BYTE*>(pszText), pcbText);
}

LONG QueryDefaultValue(HKEY hKey, wchar_t* pszText, DWORD* pdwType, DWORD* pcbText)
{
    return RegQueryValueExW(hKey, NULL, NULL, pdwType, reinterpret_cast<BYTE*>(pszText), pcbText);
}

template <class CHAR_T>
bool ReadCommand(CHAR_T (&szCommand)[PATH_BUFFER_SIZE])
{
    std::memset(szCommand, 0, sizeof(szCommand));

    // Read access only: asking for more fails for a standard user and for a
    // non-elevated Explorer, though reading is all that is needed.
    CRegistryKey key;
    if (key.Open(HKEY_CLASSES_ROOT, LAUNCHER_COMMAND_KEY, KEY_READ) != ERROR_SUCCESS)
        return false;

    DWORD dwType = REG_NONE;
    DWORD cbData = sizeof(szCommand);
    LONG lResult = QueryDefaultValue(key.Get(), szCommand, &dwType, &cbData);
    bool bText = lResult == ERROR_SUCCESS && (dwType == REG_SZ || dwType == REG_EXPAND_SZ);
    // The registry hands over a value without its terminator as it is.
    bool bTerminated = false;
    for (CHAR_T ch : szCommand)
        bTerminated = bTerminated || ch == 0;
    if (!bText || !bTerminated) {
        std::memset(szCommand, 0, sizeof(szCommand));
        return false;
    }
    return szCommand[0] != 0;
}

} // namespace

bool ReadLauncherCommand(PATHBUFFER& szCommand)
{
    return ReadCommand(szCommand);
}

bool ReadLauncherCommand(WIDEPATHBUFFER& szCommand)
{
    return ReadCommand(szCommand);
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
