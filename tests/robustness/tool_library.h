#pragma once
// A real build of the extension library, loaded and unloaded as a host does,
// and the host's side of a right-click: handler, selection, menu, click.

#include <windows.h>
#include <shlobj.h>

#include <string>

class CToolLibrary
{
public:
    // pszName: the file beside the test program (Kestrun_Tool.dll, or
    // Kestrun_Tool_faults.dll for the build with the fault switch).
    explicit CToolLibrary(const char* pszName) : m_name(pszName) {}
    ~CToolLibrary() { Unload(); }
    CToolLibrary(const CToolLibrary&) = delete;
    CToolLibrary& operator=(const CToolLibrary&) = delete;

    bool Load();
    // Drops this host's load reference (a running worker may hold its own).
    void Unload();
    // Whether the library is still in the process, whoever holds it.
    bool IsInProcess() const { return GetModuleHandleA(m_name.c_str()) != NULL; }
    // Milliseconds until the library left the process, or MAXDWORD when it
    // was still there after dwTimeoutMs.
    DWORD WaitUntilGone(DWORD dwTimeoutMs) const;

    HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) const;
    HRESULT CanUnloadNow() const;
    HRESULT RegisterServer() const;
    HRESULT UnregisterServer() const;

    // A handler from the library's class factory.
    HRESULT CreateHandler(IShellExtInit** ppInit) const;

private:
    FARPROC Export(const char* pszName) const;

    std::string m_name;
    HMODULE m_hModule = NULL;
};

// Initialize with one file, QueryContextMenu on a real popup menu, then
// InvokeCommand for the item: the result of the click (or the first failure
// before it).
HRESULT ClickOn(IShellExtInit* pInit, const std::string& image, HWND hwndOwner = NULL);
