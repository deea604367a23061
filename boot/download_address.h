#pragma once
// The download address: key DnLoadAddr of section QUORVEX_KESTRUN in the
// settings file, read by the platform's profile reader; 0 when absent.

#include <windows.h>

extern const char SETTINGS_SECTION[];        // "QUORVEX_KESTRUN"
extern const char DOWNLOAD_ADDRESS_KEY[];    // "DnLoadAddr"

DWORD ReadDownloadAddress(LPCSTR pszSettingsPath);
