#pragma once
// The stand-in's own section of the settings file:
//
//   [LORVANE_STANDIN]
//   DeviceDir=C:\device        folder that plays the device; absent = not connected
//   RateBytesPerSecond=65536   simulated transfer rate; 0 or absent = instant
//   LatencyMs=2000             extra time before the first byte moves
//
// A test and demo fixture: the deliverables know nothing of this section.

#include <windows.h>

struct STANDIN_SETTINGS
{
    char szDeviceDir[MAX_PATH];
    DWORD dwRateBytesPerSecond;
    DWORD dwLatencyMs;
};

extern const char STANDIN_SECTION[];   // "LORVANE_STANDIN"

// False when the file names no device folder.
bool ReadStandinSettings(LPCSTR pszSettingsPath, STANDIN_SETTINGS* pSettings);

bool IsDevicePresent(const STANDIN_SETTINGS& settings);
