#include "bench_inproc_server.h"

#include <cstdio>

bool CInprocServer::Load(const std::string& path)
{
    Unload();
    m_hModule = LoadLibraryExA(path.c_str(), NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (m_hModule == NULL) {
        std::fprintf(stderr, "benchmark: cannot load %s (error %lu)\n", path.c_str(), GetLastError());
        return false;
    }
    m_pfnGetClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(
        reinterpret_cast<void*>(GetProcAddress(m_hModule, "DllGetClassObject")));
    m_pfnCanUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(
        reinterpret_cast<void*>(GetProcAddress(m_hModule, "DllCanUnloadNow")));
    if (m_pfnGetClassObject == nullptr || m_pfnCanUnloadNow == nullptr) {
        std::fprintf(stderr, "benchmark: %s lacks the exports of an in-process server\n", path.c_str());
        Unload();
        return false;
    }
    return true;
}

void CInprocServer::Unload()
{
    if (m_hModule != NULL)
        FreeLibrary(m_hModule);
    m_hModule = NULL;
    m_pfnGetClassObject = nullptr;
    m_pfnCanUnloadNow = nullptr;
}

std::string BenchProgramDirectory()
{
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(NULL, szPath, MAX_PATH);
    const std::string path(szPath);
    return path.substr(0, path.rfind('\\') + 1);
}

bool PreloadShellDlls()
{
    for (const char* pszDll : {"advapi32.dll", "user32.dll", "ole32.dll", "oleaut32.dll", "shell32.dll"}) {
        if (LoadLibraryA(pszDll) == NULL) {
            std::fprintf(stderr, "benchmark: cannot load %s (error %lu)\n", pszDll, GetLastError());
            return false;
        }
    }
    return true;
}
