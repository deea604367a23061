#include "type_library_registration.h"

#include "com_module.h"

#include <oleauto.h>

namespace {

// A loaded type library and the path it was loaded from.
class CTypeLibrary
{
public:
    CTypeLibrary() : m_pTypeLib(NULL), m_wszPath() {}
    ~CTypeLibrary() { if (m_pTypeLib != NULL) m_pTypeLib->Release(); }
    CTypeLibrary(const CTypeLibrary&) = delete;
    CTypeLibrary& operator=(const CTypeLibrary&) = delete;

    // The module's own resource first, then the ".tlb" file beside it. The
    // module's true (UTF-16) path: its ANSI spelling may name another file.
    HRESULT Locate()
    {
        DWORD cch = GetModuleFileNameW(_Module.m_hInstTypeLib, m_wszPath, MAX_PATH);
        if (cch == 0 || cch >= MAX_PATH)
            return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        HRESULT hr = LoadTypeLib(m_wszPath, &m_pTypeLib);
        if (SUCCEEDED(hr))
            return hr;

        OLECHAR* pszDot = NULL;
        for (OLECHAR* p = m_wszPath; *p != L'\0'; ++p) {
            if (*p == L'.')
                pszDot = p;
        }
        lstrcpyW(pszDot != NULL ? pszDot : m_wszPath + cch, L".tlb");
        return LoadTypeLib(m_wszPath, &m_pTypeLib);
    }

    ITypeLib* Get() const { return m_pTypeLib; }
    LPOLESTR Path() { return m_wszPath; }

private:
    ITypeLib* m_pTypeLib;
    OLECHAR m_wszPath[MAX_PATH + 8];   // room for ".tlb" after a path that fills MAX_PATH
};

typedef HRESULT (WINAPI* UNREGISTERTYPELIB)(REFGUID, WORD, WORD, LCID, SYSKIND);

} // namespace

HRESULT RegisterTypeLibrary()
{
    CTypeLibrary typeLibrary;
    HRESULT hr = typeLibrary.Locate();
    if (FAILED(hr))
        return hr;

    // The help directory is the library's folder, with its trailing separator.
    OLECHAR wszHelpDir[MAX_PATH + 8];
    lstrcpynW(wszHelpDir, typeLibrary.Path(), ARRAYSIZE(wszHelpDir));
    size_t cchHelpDir = 0;
    for (size_t i = 0; wszHelpDir[i] != L'\0'; ++i) {
        if (wszHelpDir[i] == L'\\' || wszHelpDir[i] == L'/' || wszHelpDir[i] == L':')
            cchHelpDir = i + 1;
    }
    wszHelpDir[cchHelpDir] = L'\0';
    return RegisterTypeLib(typeLibrary.Get(), typeLibrary.Path(), wszHelpDir);
}

void UnregisterTypeLibrary()
{
    CTypeLibrary typeLibrary;
    if (FAILED(typeLibrary.Locate()))
        return;
    TLIBATTR* pAttr = NULL;
    if (FAILED(typeLibrary.Get()->GetLibAttr(&pAttr)))
        return;

    // Looked up by name: old platforms lack it.
    HMODULE hOleAut = LoadLibraryA("oleaut32.dll");
    if (hOleAut != NULL) {
        UNREGISTERTYPELIB pfnUnRegisterTypeLib =
            reinterpret_cast<UNREGISTERTYPELIB>(reinterpret_cast<void*>(GetProcAddress(hOleAut, "UnRegisterTypeLib")));
        if (pfnUnRegisterTypeLib != NULL)
            pfnUnRegisterTypeLib(pAttr->guid, pAttr->wMajorVerNum, pAttr->wMinorVerNum, pAttr->lcid, pAttr->syskind);
        FreeLibrary(hOleAut);
    }
    typeLibrary.Get()->ReleaseTLibAttr(pAttr);
}
