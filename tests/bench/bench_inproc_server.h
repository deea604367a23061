#pragma once
// An in-process server library as COM loads one for a host: LoadLibraryEx
// with the altered search path (its own folder first, so it finds the boot
// library beside it), then its exports looked up by name.

#include <windows.h>
#include <objbase.h>

#include <string>

class CInprocServer
{
public:
    CInprocServer() = default;
    ~CInprocServer() { Unload(); }
    CInprocServer(const CInprocServer&) = delete;
    CInprocServer& operator=(const CInprocServer&) = delete;

    // False, with the library not loaded, when it or an export is missing.
    bool Load(const std::string& path);
    void Unload();
    bool IsLoaded() const { return m_hModule != NULL; }

    HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) const
    {
        return m_pfnGetClassObject(rclsid, riid, ppv);
    }
    HRESULT CanUnloadNow() const { return m_pfnCanUnloadNow(); }
    LPFNGETCLASSOBJECT GetClassObjectExport() const { return m_pfnGetClassObject; }

private:
    HMODULE m_hModule = NULL;
    LPFNGETCLASSOBJECT m_pfnGetClassObject = nullptr;
    LPFNCANUNLOADNOW m_pfnCanUnloadNow = nullptr;
};

// The folder of the running program, with its trailing backslash.
std::string BenchProgramDirectory();

// Loads the system DLLs the context-menu extension binds, for good: in
// Explorer they are loaded long before any handler, so loading the extension
// only binds to them. False when one is missing.
bool PreloadShellDlls();
