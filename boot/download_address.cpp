#include "download_address.h"

const char SETTINGS_SECTION[] = "QUORVEX_KESTRUN";
const char DOWNLOAD_ADDRESS_KEY[] = "DnLoadAddr";

DWORD ReadDownloadAddress(LPCSTR pszSettingsPath)
{
    return static_cast<DWORD>(GetPrivateProfileIntA(SETTINGS_SECTION, DOWNLOAD_ADDRESS_KEY, 0, pszSettingsPath));
}
