#include "loaded_boot_library.h"

#include <cwchar>

// The names of lorvane_x86.def and lorvane_x64.def: a pointer is PA or PEA.
#ifdef _WIN64
const char LOAD_INI_FILE_ENTRY[] = "?Load_IniFile@@YAHPEAD@Z";
const char KESTRUN_ENTRY[] = "?Kestrun@@YAHPEADK@Z";
#else
const char LOAD_INI_FILE_ENTRY[] = "?Load_IniFile@@YAHPAD@Z";
const char KESTRUN_ENTRY[] = "?Kestrun@@YAHPADK@Z";
#endif

namespace {

const wchar_t LIBRARY_NAME[] = L"Lorvane.dll";

// The running program's path with its file name replaced by Lorvane.dll;
// false when either does not fit.
bool PathBesideProgram(WIDEPATHBUFFER& szPath)
{
    const DWORD cch = GetModuleFileNameW(NULL, szPath, PATH_BUFFER_SIZE);
    wchar_t* pszName = cch > 0 && cch < PATH_BUFFER_SIZE ? std::wcsrchr(szPath, L'\\') : NULL;
    if (pszName == NULL || static_cast<std::size_t>(pszName + 1 - szPath) + sizeof(LIBRARY_NAME) / sizeof(wchar_t)
                               > PATH_BUFFER_SIZE) {
        szPath[0] = L'\0';
        return false;
    }
    std::wmemcpy(pszName + 1, LIBRARY_NAME, sizeof(LIBRARY_NAME) / sizeof(wchar_t));
    return true;
}

} // namespace

CLoadedBootLibrary::~CLoadedBootLibrary()
{
    if (m_hModule != NULL)
        FreeLibrary(m_hModule);
}

BOOT_LIBRARY_LOAD CLoadedBootLibrary::LoadBesideProgram()
{
    if (!PathBesideProgram(m_szPath))
        return BOOT_LIBRARY_NO_PATH;
    // A full path: the file itself is never searched for. Its own imports are
    // looked for from its folder first, as for the launcher's import.
    m_hModule = LoadLibraryExW(m_szPath, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (m_hModule == NULL) {
        m_dwError = GetLastError();
        return BOOT_LIBRARY_NOT_LOADED;
    }
    // The library's own functions, cast through the generic function type.
    m_pfnLoadIniFile = reinterpret_cast<LOAD_INI_FILE_FN>(reinterpret_cast<void (*)()>(Entry(LOAD_INI_FILE_ENTRY)));
    m_pfnKestrun = reinterpret_cast<KESTRUN_FN>(reinterpret_cast<void (*)()>(Entry(KESTRUN_ENTRY)));
    return m_pszMissingEntry == NULL ? BOOT_LIBRARY_LOADED : BOOT_LIBRARY_NO_ENTRY;
}

FARPROC CLoadedBootLibrary::Entry(LPCSTR pszDecoratedName)
{
    FARPROC pfn = GetProcAddress(m_hModule, pszDecoratedName);
    if (pfn == NULL && m_pszMissingEntry == NULL)
        m_pszMissingEntry = pszDecoratedName;
    return pfn;
}
