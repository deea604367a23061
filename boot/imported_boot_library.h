#pragma once
// The boot library bound by import (the launcher and the 32-bit extension):
// the loader binds it before the program's first line runs. The boot request
// calls it as it calls the loaded binding (loaded_boot_library.h).

#include "lorvane.h"

class CImportedBootLibrary
{
public:
    int LoadIniFile(char* pszSettingsPath) const { return ::Load_IniFile(pszSettingsPath); }
    int Kestrun(char* pszImagePath, unsigned long dwDownloadAddress) const
    {
        return ::Kestrun(pszImagePath, dwDownloadAddress);
    }
};
