#include "boot_request.h"

#include "boot_message.h"
#include "device_preparation.h"
#include "lorvane.h"
#include "settings_file.h"

BOOL RunBootRequest(LPCSTR pszImagePath, DWORD* pdwDownloadAddress)
{
    PATHBUFFER szSettingsPath;
    if (LocateSettingsFile(szSettingsPath) != SETTINGS_FOUND)
        return FALSE;

    DWORD dwDownloadAddress = 0;
    if (!PrepareDevice(szSettingsPath, NULL, &dwDownloadAddress))
        return FALSE;
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
