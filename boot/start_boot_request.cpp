#include "boot_request.h"

#include "boot_message.h"
#include "boot_steps.h"
#include "boot_worker.h"
#include "imported_boot_library.h"

HRESULT StartBootRequest(LPCSTR pszImagePath, HWND hwndOwner, DWORD* pdwDownloadAddress)
{
    CSilentBootObserver observer;
    PATHBUFFER szSettingsPath;
    DWORD dwDownloadAddress = 0;
    switch (PrepareBoot(CImportedBootLibrary(), observer, szSettingsPath, &dwDownloadAddress)) {
    case BOOT_PREPARED:
        break;
    case BOOT_NO_COMMAND:
    case BOOT_SETTINGS_PATH_TOO_LONG:
        ShowBootMessage(NULL, MESSAGE_READ_INFO_ERROR);
        return E_INVALIDARG;
    case BOOT_NOT_CONNECTED:
        // The one message owned by the window the user clicked in.
        ShowBootMessage(hwndOwner, MESSAGE_NOT_CONNECTED);
        return E_INVALIDARG;
    default:
        return E_INVALIDARG;
    }
    if (pdwDownloadAddress != NULL)
        *pdwDownloadAddress = dwDownloadAddress;

    return StartBootWorker(pszImagePath, dwDownloadAddress);
}
