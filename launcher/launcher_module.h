#pragma once
// The launcher's one static object: zero-filled at load, with no constructor
// or destructor that does any work, so nothing of the launcher runs before or
// after the entry.

#include <windows.h>

class CLauncherModule
{
public:
    // The last download address read from the settings file.
    DWORD m_dwDownloadAddress;

    BOOL IsBootImageName(LPCWSTR pszImagePath) const;

    // Boots the device from the image (its ANSI path), waiting for the
    // transfer; TRUE when it was booted. Failures have shown their message
    // already.
    BOOL RunBootRequest(LPCSTR pszImagePath);
};

extern CLauncherModule _Module;
