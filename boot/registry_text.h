#pragma once
// Reading the launcher's open command as text of either width: the value
// must be a string (REG_SZ or REG_EXPAND_SZ, the latter expanded) whose
// terminator lies inside the buffer, else the text is empty. Each width has a file of its own so that
// a program links only the one it reads.

#include "path_buffer.h"
#include "registry_key.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

extern const char LAUNCHER_COMMAND_KEY[];

inline LONG QueryDefaultValue(HKEY hKey, char* pszText, DWORD* pdwType, DWORD* pcbText)
{
    return RegQueryValueExA(hKey, NULL, NULL, pdwType, reinterpret_cast<BYTE*>(pszText), pcbText);
}

inline LONG QueryDefaultValue(HKEY hKey, wchar_t* pszText, DWORD* pdwType, DWORD* pcbText)
{
    return RegQueryValueExW(hKey, NULL, NULL, pdwType, reinterpret_cast<BYTE*>(pszText), pcbText);
}

inline bool HasTerminator(const char (&szText)[PATH_BUFFER_SIZE])
{
    return std::memchr(szText, '\0', sizeof(szText)) != nullptr;
}

inline bool HasTerminator(const wchar_t (&szText)[PATH_BUFFER_SIZE])
{
    return std::wmemchr(szText, L'\0', PATH_BUFFER_SIZE) != nullptr;
}

inline DWORD ExpandText(const char* pszText, char* pszExpanded, DWORD cchExpanded)
{
    return ExpandEnvironmentStringsA(pszText, pszExpanded, cchExpanded);
}

inline DWORD ExpandText(const wchar_t* pszText, wchar_t* pszExpanded, DWORD cchExpanded)
{
    return ExpandEnvironmentStringsW(pszText, pszExpanded, cchExpanded);
}

// A REG_EXPAND_SZ value names its folders through environment variables
// ("%ProgramFiles(x86)%\\..."), which the shell expands before it starts the
// command: so do we. The expansion must fit the buffer with its terminator,
// or the registration counts as unusable. "%1" is no variable and stays.
template <class CHAR_T>
bool ExpandRegisteredCommand(CHAR_T (&szCommand)[PATH_BUFFER_SIZE])
{
    CHAR_T szExpanded[PATH_BUFFER_SIZE] = {};
    const DWORD cch = ExpandText(szCommand, szExpanded, PATH_BUFFER_SIZE);
    std::memcpy(szCommand, szExpanded, sizeof(szCommand));
    // The count includes the terminator; more than fits is the size needed.
    return cch != 0 && cch <= PATH_BUFFER_SIZE && HasTerminator(szCommand);
}

template <class CHAR_T>
bool ReadRegisteredCommand(CHAR_T (&szCommand)[PATH_BUFFER_SIZE])
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
    // The registry hands over a value without its terminator as it is.
    const bool bText = lResult == ERROR_SUCCESS && (dwType == REG_SZ || dwType == REG_EXPAND_SZ)
                    && HasTerminator(szCommand);
    if (!bText || (dwType == REG_EXPAND_SZ && !ExpandRegisteredCommand(szCommand))) {
        std::memset(szCommand, 0, sizeof(szCommand));
        return false;
    }
    return szCommand[0] != 0;
}
