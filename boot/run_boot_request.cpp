#include "boot_request.h"

#include "boot_message.h"
#include "boot_steps.h"
#include "imported_boot_library.h"

BOOL RunBootRequest(LPCSTR pszImagePath, DWORD* pdwDownloadAddress)
{
    CSilentBootObserver observer;
    switch (RunBootSteps(CImportedBootLibrary(), observer, pszImagePath, pdwDownloadAddress)) {
    case BOOT_BOOTED:
        return TRUE;
    case BOOT_NOT_CONNECTED:
        ShowBootMessage(NULL, MESSAGE_NOT_CONNECTED);
        break;
    case BOOT_TRANSFER_FAILED:
        ShowBootMessage(NULL, MESSAGE_KESTRUN_ERROR);
        break;
    default:
        // A registration the launcher cannot use fails without a message.
        break;
    }
    return FALSE;
}
