#pragma once
#include <windows.h>

// Makes the named fault points of a test build fail for one scope (the
// KESTRUN_FAULTS switch, a comma-separated list).
class CInjectedFault
{
public:
    explicit CInjectedFault(const char* pszPoints) { SetEnvironmentVariableA("KESTRUN_FAULTS", pszPoints); }
    ~CInjectedFault() { SetEnvironmentVariableA("KESTRUN_FAULTS", NULL); }
    CInjectedFault(const CInjectedFault&) = delete;
    CInjectedFault& operator=(const CInjectedFault&) = delete;
};
