#include "type_library_registration.h"

#include "com_module.h"

#include <oleauto.h>

#include <cstring>

namespace {

// A loaded type library and the path it was loaded from.
class CTypeLibrary
{
public:
    CTypeLibrary() : m_pTypeLib(NULL), m_wszPath() {}
    ~CTypeLibrary() { if (m_pTypeLib != NULL) m_pTypeLib->Release(); }
    CTypeLibrary(const CTypeLibrary&) = delete;
    CTypeLibrary& operator=(const CTypeLibrary&) = delete;

    // The module's own resource first, then the ".tlb" file beside it.
    HRESULT Locate()
    {
        // Room for ".tlb" after a path that fills MAX_PATH.
        char szPath[MAX_PATH + 8] = {};
        DWORD cch = GetModuleFileNameA(_Module.m_hInstTypeLib, szPath, MAX_PATH);
        if (cch == 0 || cch >= MAX_PATH)
            return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        HRESULT hr = Load(szPath);
        if (SUCCEEDED(hr))
            return hr;

        char* pszDot = NULL;
        for (char* p = szPath; *p != '\0'; p = CharNextA(p)) {
            if (*p == '.')
                pszDot = p;
        }
        std::strcpy(pszDot != NULL ? pszDot : szPath + std::strlen(szPath), ".tlb");
        return Load(szPath);
    }

    ITypeLib* Get() const { return m_pTypeLib; }
    LPOLESTR Path() { return m_wszPath; }

private:
    HRESULT Load(const char* pszPath)
    {
        if (MultiByteToWideChar(CP_ACP, 0, pszPath, -1, m_wszPath, ARRAYSIZE(m_wszPath)) == 0)
            return HRESULT_FROM_WIN32(GetLastError());
        return LoadTypeLib(m_wszPath, &m_pTypeLib);
    }

    ITypeLib* m_pTypeLib;
    OLECHAR m_wszPath[MAX_PATH + 8];
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
