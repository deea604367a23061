#include "tool_library.h"

#include "Kestrun_Tool_i.h"
#include "drop_data_object.h"
#include "text_file.h"

namespace {

typedef HRESULT (STDAPICALLTYPE* GETCLASSOBJECT)(REFCLSID, REFIID, void**);
typedef HRESULT (STDAPICALLTYPE* PLAINEXPORT)();

} // namespace

bool CToolLibrary::Load()
{
    Unload();
    m_hModule = LoadLibraryA((ProgramDirectory() + m_name).c_str());
    return m_hModule != NULL;
}

void CToolLibrary::Unload()
{
    if (m_hModule != NULL)
        FreeLibrary(m_hModule);
    m_hModule = NULL;
}

DWORD CToolLibrary::WaitUntilGone(DWORD dwTimeoutMs) const
{
    const DWORD dwStart = GetTickCount();
    for (;;) {
        const DWORD dwElapsed = GetTickCount() - dwStart;
        if (!IsInProcess())
            return dwElapsed;
        if (dwElapsed > dwTimeoutMs)
            return MAXDWORD;
        Sleep(1);
    }
}

FARPROC CToolLibrary::Export(const char* pszName) const
{
    return m_hModule == NULL ? NULL : GetProcAddress(m_hModule, pszName);
}

HRESULT CToolLibrary::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) const
{
    GETCLASSOBJECT pfn = reinterpret_cast<GETCLASSOBJECT>(reinterpret_cast<void*>(Export("DllGetClassObject")));
    return pfn == NULL ? E_UNEXPECTED : pfn(rclsid, riid, ppv);
}

HRESULT CToolLibrary::CanUnloadNow() const
{
    PLAINEXPORT pfn = reinterpret_cast<PLAINEXPORT>(reinterpret_cast<void*>(Export("DllCanUnloadNow")));
    return pfn == NULL ? E_UNEXPECTED : pfn();
}

HRESULT CToolLibrary::RegisterServer() const
{
    PLAINEXPORT pfn = reinterpret_cast<PLAINEXPORT>(reinterpret_cast<void*>(Export("DllRegisterServer")));
    return pfn == NULL ? E_UNEXPECTED : pfn();
}

HRESULT CToolLibrary::UnregisterServer() const
{
    PLAINEXPORT pfn = reinterpret_cast<PLAINEXPORT>(reinterpret_cast<void*>(Export("DllUnregisterServer")));
    return pfn == NULL ? E_UNEXPECTED : pfn();
}

HRESULT CToolLibrary::CreateHandler(IShellExtInit** ppInit) const
{
    *ppInit = NULL;
    IClassFactory* pFactory = NULL;
    HRESULT hr = GetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory, reinterpret_cast<void**>(&pFactory));
    if (FAILED(hr))
        return hr;
    hr = pFactory->CreateInstance(NULL, IID_IShellExtInit, reinterpret_cast<void**>(ppInit));
    pFactory->Release();
    return hr;
}

HRESULT ClickOn(IShellExtInit* pInit, const std::string& image, HWND hwndOwner)
{
    CDropDataObject* pData = CDropDataObject::Create({image});
    HRESULT hr = pInit->Initialize(NULL, pData, NULL);
    pData->Release();
    if (FAILED(hr))
        return hr;
    IContextMenu* pMenu = NULL;
    hr = pInit->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&pMenu));
    if (FAILED(hr))
        return hr;
    HMENU hmenu = CreatePopupMenu();
    hr = pMenu->QueryContextMenu(hmenu, 0, 1, 100, CMF_NORMAL);
    DestroyMenu(hmenu);
    if (hr == MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1)) {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.hwnd = hwndOwner;
        info.lpVerb = MAKEINTRESOURCEA(0);
        info.nShow = SW_SHOWNORMAL;
        hr = pMenu->InvokeCommand(&info);
    } else {
        hr = E_UNEXPECTED;
    }
    pMenu->Release();
    return hr;
}
