#include "device_preparation.h"

#include "boot_message.h"
#include "download_address.h"
#include "lorvane.h"

bool PrepareDevice(PATHBUFFER& szSettingsPath, HWND hwndOwner, DWORD* pdwDownloadAddress)
{
    if (Load_IniFile(szSettingsPath) != 0) {
        ShowBootMessage(hwndOwner, MESSAGE_NOT_CONNECTED);
        return false;
    }
    *pdwDownloadAddress = ReadDownloadAddress(szSettingsPath);
    return true;
}
