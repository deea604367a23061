#include "registration.h"

#include "ansi_name.h"
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

// The path registered as the class's InprocServer32: the short form of the
// module's true (UTF-16) path. Never made from the ANSI path, whose spelling
// of a character the code page lacks is a look-alike or "?" that names
// another file or none. It must also read the same through the ANSI code
// page, for the hosts that read the registry that way; a path that does not
// fit is refused rather than registered cut short. Either refusal comes
// before anything is written.
HRESULT ModuleShortPath(WCHAR (&wszPath)[MAX_PATH])
{
    WCHAR wszLongPath[MAX_PATH] = {};
    DWORD cch = GetModuleFileNameW(_Module.m_hInst, wszLongPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

    cch = GetShortPathNameW(wszLongPath, wszPath, MAX_PATH);
    // Without a short form (a file system that keeps none), the full path
    // names the same file.
    if (cch == 0 || cch >= MAX_PATH)
        lstrcpynW(wszPath, wszLongPath, MAX_PATH);
    if (!TrueNameIsExactAnsi(wszPath))
        return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
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
