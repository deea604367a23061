#include "registration.h"

#include "com_module.h"
#include "fault_injection.h"
#include "registrar.h"

namespace {

// The registrar, released on every path.
class CRegistrarPtr
{
public:
    CRegistrarPtr() : m_p(NULL) {}
    ~CRegistrarPtr() { if (m_p != NULL) m_p->Release(); }
    CRegistrarPtr(const CRegistrarPtr&) = delete;
    CRegistrarPtr& operator=(const CRegistrarPtr&) = delete;

    HRESULT Create()
    {
        if (IsFaultInjected("registrar_create"))
            return E_OUTOFMEMORY;
        return CoCreateInstance(CLSID_Registrar, NULL, CLSCTX_INPROC_SERVER, IID_IRegistrar,
                                reinterpret_cast<void**>(&m_p));
    }
    IRegistrar* operator->() const { return m_p; }

private:
    IRegistrar* m_p;
};

// The module's short path in UTF-16. A path that does not fit is refused
// rather than registered cut short.
HRESULT ModuleShortPath(WCHAR (&wszPath)[MAX_PATH])
{
    char szLongPath[MAX_PATH] = {};
    DWORD cch = GetModuleFileNameA(_Module.m_hInst, szLongPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

    char szShortPath[MAX_PATH] = {};
    cch = GetShortPathNameA(szLongPath, szShortPath, MAX_PATH);
    // Without a short form (a file system that keeps none), the full path
    // names the same file.
    const char* pszPath = (cch == 0 || cch >= MAX_PATH) ? szLongPath : szShortPath;
    if (MultiByteToWideChar(CP_ACP, 0, pszPath, -1, wszPath, MAX_PATH) == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

} // namespace

bool DoubleApostrophes(LPCWSTR pszText, LPWSTR pszTarget, size_t cchTarget)
{
    size_t j = 0;
    for (size_t i = 0; pszText[i] != L'\0'; ++i) {
        const size_t cchNeeded = pszText[i] == L'\'' ? 2 : 1;
        if (j + cchNeeded >= cchTarget)
            return false;
        pszTarget[j++] = pszText[i];
        if (cchNeeded == 2)
            pszTarget[j++] = L'\'';
    }
    if (j >= cchTarget)
        return false;
    pszTarget[j] = L'\0';
    return true;
}

HRESULT UpdateRegistryFromResource(UINT nResID, BOOL bRegister)
{
    CRegistrarPtr registrar;
    HRESULT hr = registrar.Create();
    if (FAILED(hr))
        return hr;

    WCHAR wszModule[MAX_PATH];
    hr = ModuleShortPath(wszModule);
    if (FAILED(hr))
        return hr;

    // Every character may double: twice the path and the terminator.
    WCHAR wszReplacement[2 * MAX_PATH + 1];
    if (!DoubleApostrophes(wszModule, wszReplacement, ARRAYSIZE(wszReplacement)))
        return E_FAIL;
    registrar->AddReplacement(L"Module", wszReplacement);

    return bRegister ? registrar->ResourceRegister(wszModule, nResID, L"REGISTRY")
                     : registrar->ResourceUnregister(wszModule, nResID, L"REGISTRY");
}
