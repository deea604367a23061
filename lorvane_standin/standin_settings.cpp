#include "standin_settings.h"

const char STANDIN_SECTION[] = "LORVANE_STANDIN";

bool ReadStandinSettings(LPCSTR pszSettingsPath, STANDIN_SETTINGS* pSettings)
{
    ZeroMemory(pSettings, sizeof(*pSettings));
    GetPrivateProfileStringA(STANDIN_SECTION, "DeviceDir", "", pSettings->szDeviceDir,
                             sizeof(pSettings->szDeviceDir), pszSettingsPath);
    pSettings->dwRateBytesPerSecond = GetPrivateProfileIntA(STANDIN_SECTION, "RateBytesPerSecond", 0, pszSettingsPath);
    pSettings->dwLatencyMs = GetPrivateProfileIntA(STANDIN_SECTION, "LatencyMs", 0, pszSettingsPath);
    return pSettings->szDeviceDir[0] != '\0';
}

bool IsDevicePresent(const STANDIN_SETTINGS& settings)
{
    DWORD dwAttributes = GetFileAttributesA(settings.szDeviceDir);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
