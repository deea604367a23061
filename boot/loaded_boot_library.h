#pragma once
// The boot library loaded at run time from the program's own folder (the
// console program, which must start and say what is wrong when the library
// is missing, where an import would stop it in the loader's own message
// box). Only the file beside the program is ever loaded: never one found
// through the search path (the current folder, PATH). Its two functions are
// looked up by their decorated names, those of lorvane_x86.def or
// lorvane_x64.def, and called as the imported binding's are
// (imported_boot_library.h).

#include "path_buffer.h"

#include <windows.h>

enum BOOT_LIBRARY_LOAD
{
    BOOT_LIBRARY_LOADED,
    BOOT_LIBRARY_NO_PATH,       // the program's own path does not fit a path buffer
    BOOT_LIBRARY_NOT_LOADED,    // the system refused it: Error() says why
    BOOT_LIBRARY_NO_ENTRY,      // it lacks MissingEntry(): not the vendor's library
};

class CLoadedBootLibrary
{
public:
    CLoadedBootLibrary() = default;
    ~CLoadedBootLibrary();
    CLoadedBootLibrary(const CLoadedBootLibrary&) = delete;
    CLoadedBootLibrary& operator=(const CLoadedBootLibrary&) = delete;

    // Loads Lorvane.dll from the folder of the running program.
    BOOT_LIBRARY_LOAD LoadBesideProgram();

    // The file it tried (empty when the program's path did not fit).
    LPCWSTR Path() const { return m_szPath; }
    DWORD Error() const { return m_dwError; }
    LPCSTR MissingEntry() const { return m_pszMissingEntry; }

    // Only after LoadBesideProgram returned BOOT_LIBRARY_LOADED.
    int LoadIniFile(char* pszSettingsPath) const { return m_pfnLoadIniFile(pszSettingsPath); }
    int Kestrun(char* pszImagePath, unsigned long dwDownloadAddress) const
    {
        return m_pfnKestrun(pszImagePath, dwDownloadAddress);
    }

private:
    typedef int(__cdecl* LOAD_INI_FILE_FN)(char*);
    typedef int(__cdecl* KESTRUN_FN)(char*, unsigned long);

    FARPROC Entry(LPCSTR pszDecoratedName);

    HMODULE m_hModule = NULL;
    WIDEPATHBUFFER m_szPath = {};
    DWORD m_dwError = ERROR_SUCCESS;
    LPCSTR m_pszMissingEntry = NULL;
    LOAD_INI_FILE_FN m_pfnLoadIniFile = NULL;
    KESTRUN_FN m_pfnKestrun = NULL;
};

// The decorated export names this build looks up.
extern const char LOAD_INI_FILE_ENTRY[];
extern const char KESTRUN_ENTRY[];
