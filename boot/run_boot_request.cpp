#include "boot_request.h"

#include "boot_message.h"
#include "download_address.h"
#include "lorvane.h"
#include "settings_file.h"

BOOL RunBootRequest(LPCSTR pszImagePath, DWORD* pdwDownloadAddress)
{
    PATHBUFFER szSettingsPath;
    if (LocateSettingsFile(szSettingsPath) != SETTINGS_FOUND)
        return FALSE;

    if (Load_IniFile(szSettingsPath) != 0) {
        ShowBootMessage(NULL, MESSAGE_NOT_CONNECTED);
        return FALSE;
    }

    const DWORD dwDownloadAddress = ReadDownloadAddress(szSettingsPath);
    if (pdwDownloadAddress != NULL)
        *pdwDownloadAddress = dwDownloadAddress;

    // The library takes a writable string: give it our own copy.
    PATHBUFFER szImagePath = {};
    CopyPath(szImagePath, pszImagePath);
    if (Kestrun(szImagePath, dwDownloadAddress) != 0) {
        ShowBootMessage(NULL, MESSAGE_KESTRUN_ERROR);
        return FALSE;
    }
    return TRUE;
}
