#pragma once
// The launcher's shell registration in the test prefix's real registry:
// HKCR\Applications\Kestrun.exe\shell\open\command. Removed on destruction.

#include <windows.h>

#include <string>

class CLauncherRegistration
{
public:
    CLauncherRegistration();
    ~CLauncherRegistration();
    CLauncherRegistration(const CLauncherRegistration&) = delete;
    CLauncherRegistration& operator=(const CLauncherRegistration&) = delete;

    // The default value as a REG_SZ text.
    void SetCommand(const std::string& text);
    // The default value with any type and exact bytes.
    void SetRaw(DWORD dwType, const void* pData, DWORD cbData);
    // A key whose access list lets everyone read (and only read); an empty
    // list lets nobody in.
    void RestrictAccess(const char* pszSddl);
    void Remove();
};

extern const char LAUNCHER_COMMAND_SUBKEY[];
