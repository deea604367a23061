#pragma once
// Times the tests measure against: a latency the stand-in device waits and
// the bound a step must stay within. KESTRUN_TIME_SCALE (a whole number,
// default 1) stretches both alike where every step is slower, as in the
// emulated machine of scripts/vm, so the comparison keeps its meaning.

#include <windows.h>

#include <cstdlib>

inline DWORD ScaledMs(DWORD dwMs)
{
    char szScale[16] = {};
    const DWORD cch = GetEnvironmentVariableA("KESTRUN_TIME_SCALE", szScale, sizeof(szScale));
    const unsigned long nScale = cch > 0 && cch < sizeof(szScale) ? std::strtoul(szScale, NULL, 10) : 0;
    return nScale > 1 ? dwMs * static_cast<DWORD>(nScale) : dwMs;
}
