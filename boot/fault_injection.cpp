#include "fault_injection.h"

#include <windows.h>

#include <cstring>

bool IsFaultInjected(const char* pszPoint)
{
    char szFaults[512];
    DWORD cch = GetEnvironmentVariableA("KESTRUN_FAULTS", szFaults, sizeof(szFaults));
    if (cch == 0 || cch >= sizeof(szFaults))
        return false;

    const std::size_t cchPoint = std::strlen(pszPoint);
    for (const char* p = szFaults; *p != '\0';) {
        const char* pszEnd = std::strchr(p, ',');
        std::size_t cchItem = pszEnd ? static_cast<std::size_t>(pszEnd - p) : std::strlen(p);
        if (cchItem == cchPoint && std::strncmp(p, pszPoint, cchPoint) == 0)
            return true;
        p += cchItem + (pszEnd ? 1 : 0);
    }
    return false;
}
