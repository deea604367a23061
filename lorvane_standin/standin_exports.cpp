// The stand-in for the vendor's boot library: the same two functions, with a
// simulated device behind them. Exported under the vendor's decorated names
// by lorvane_standin_*.def.

#include "call_log.h"
#include "device_transfer.h"
#include "standin_settings.h"

#include <cstring>

namespace {

// What the last successful Load_IniFile prepared; Kestrun boots with it.
SRWLOCK g_lock = SRWLOCK_INIT;
STANDIN_SETTINGS g_prepared;
bool g_bPrepared = false;

enum { LOAD_OK = 0, LOAD_NO_DEVICE = 1 };

} // namespace

extern "C" int __cdecl StandinLoadIniFile(char* pszSettingsPath)
{
    STANDIN_SETTINGS settings;
    int nResult = LOAD_NO_DEVICE;
    if (pszSettingsPath != NULL && ReadStandinSettings(pszSettingsPath, &settings) && IsDevicePresent(settings)) {
        AcquireSRWLockExclusive(&g_lock);
        g_prepared = settings;
        g_bPrepared = true;
        ReleaseSRWLockExclusive(&g_lock);
        nResult = LOAD_OK;
    }
    AppendCallLog("Load_IniFile\tsettings=%s\tresult=%d", pszSettingsPath ? pszSettingsPath : "(null)", nResult);
    return nResult;
}

extern "C" int __cdecl StandinKestrun(char* pszImagePath, unsigned long dwDownloadAddress)
{
    const char* pszImage = pszImagePath ? pszImagePath : "(null)";
    const unsigned cchImage = static_cast<unsigned>(std::strlen(pszImage));
    AppendCallLog("Kestrun.begin\timage=%s\tlength=%u\taddress=0x%08lX", pszImage, cchImage, dwDownloadAddress);

    AcquireSRWLockShared(&g_lock);
    STANDIN_SETTINGS settings = g_prepared;
    bool bPrepared = g_bPrepared;
    ReleaseSRWLockShared(&g_lock);

    int nResult = TRANSFER_NOT_PREPARED;
    if (bPrepared && pszImagePath != NULL)
        nResult = TransferImage(settings, pszImagePath, dwDownloadAddress);

    AppendCallLog("Kestrun\timage=%s\tlength=%u\taddress=0x%08lX\tresult=%d", pszImage, cchImage, dwDownloadAddress, nResult);
    return nResult;
}
