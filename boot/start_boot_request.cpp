#include "boot_request.h"

#include "boot_message.h"
#include "boot_worker.h"
#include "device_preparation.h"
#include "settings_file.h"

HRESULT StartBootRequest(LPCSTR pszImagePath, HWND hwndOwner, DWORD* pdwDownloadAddress)
{
    PATHBUFFER szSettingsPath;
    switch (LocateSettingsFile(szSettingsPath)) {
    case SETTINGS_FOUND:
        break;
    case SETTINGS_NO_DIRECTORY:
        return E_INVALIDARG;
    case SETTINGS_NO_COMMAND:
    case SETTINGS_PATH_TOO_LONG:
        ShowBootMessage(NULL, MESSAGE_READ_INFO_ERROR);
        return E_INVALIDARG;
    }

    DWORD dwDownloadAddress = 0;
    if (!PrepareDevice(szSettingsPath, hwndOwner, &dwDownloadAddress))
        return E_INVALIDARG;
    if (pdwDownloadAddress != NULL)
        *pdwDownloadAddress = dwDownloadAddress;

    return StartBootWorker(pszImagePath, dwDownloadAddress);
}
