// The handler's shell operations: which selections get the menu item, the
// item and its help text, and the click that starts a boot.

#include "quorvex_kestrun.h"

#include "ansi_name.h"
#include "boot_image_name.h"
#include "click_boot.h"
#include "drop_files_check.h"

#include <cstring>

const char MENU_ITEM_TEXT[] = "Quorvex Kestrun";
const char HELP_TEXT[] = "This will execute Kestrun Tool!";

namespace {

// A storage medium obtained from a data object, released on every path.
class CStorageMedium
{
public:
    CStorageMedium() : m_medium() { m_medium.tymed = TYMED_HGLOBAL; }
    ~CStorageMedium() { if (m_bFilled) ReleaseStgMedium(&m_medium); }
    CStorageMedium(const CStorageMedium&) = delete;
    CStorageMedium& operator=(const CStorageMedium&) = delete;

    HRESULT GetFrom(IDataObject* pdtobj, FORMATETC* pFormat)
    {
        HRESULT hr = pdtobj->GetData(pFormat, &m_medium);
        m_bFilled = SUCCEEDED(hr);
        return hr;
    }
    const STGMEDIUM& Get() const { return m_medium; }

private:
    STGMEDIUM m_medium;
    bool m_bFilled = false;
};

// Global memory locked for one scope.
class CGlobalLock
{
public:
    explicit CGlobalLock(HGLOBAL hGlobal) : m_hGlobal(hGlobal), m_pv(hGlobal ? GlobalLock(hGlobal) : NULL) {}
    ~CGlobalLock() { if (m_pv != NULL) GlobalUnlock(m_hGlobal); }
    CGlobalLock(const CGlobalLock&) = delete;
    CGlobalLock& operator=(const CGlobalLock&) = delete;
    void* Get() const { return m_pv; }

private:
    HGLOBAL m_hGlobal;
    void* m_pv;
};

// The first dropped file's true name (the ANSI form may already name another
// file), from a list IsWellFormedDropFiles accepted: it holds one name at
// least, so the list need not be counted again. A name that does not fit the
// buffer with its terminator is refused: cut short, it would name another
// file.
HRESULT FirstDroppedFile(HDROP hDrop, WIDEPATHBUFFER& szPath)
{
    UINT cchPath = DragQueryFileW(hDrop, 0, NULL, 0);
    if (cchPath == 0 || cchPath >= PATH_BUFFER_SIZE)
        return E_INVALIDARG;
    if (DragQueryFileW(hDrop, 0, szPath, PATH_BUFFER_SIZE) == 0)
        return E_INVALIDARG;
    return S_OK;
}

} // namespace

CQuorvex_Kestrun::CQuorvex_Kestrun() : m_szImagePath(), m_dwDownloadAddress(0), m_wszImagePath()
{
}

void CQuorvex_Kestrun::ForgetImage()
{
    std::memset(m_szImagePath, 0, sizeof(m_szImagePath));
    std::memset(m_wszImagePath, 0, sizeof(m_wszImagePath));
}

STDMETHODIMP CQuorvex_Kestrun::Initialize(PCIDLIST_ABSOLUTE, IDataObject* pdtobj, HKEY)
{
    ForgetImage();
    if (pdtobj == NULL)
        return E_INVALIDARG;

    FORMATETC format = {CF_HDROP, NULL, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    CStorageMedium medium;
    if (FAILED(medium.GetFrom(pdtobj, &format)))
        return E_INVALIDARG;
    // A data object may answer with another kind of medium than asked for.
    if (medium.Get().tymed != TYMED_HGLOBAL)
        return E_INVALIDARG;

    CGlobalLock drop(medium.Get().hGlobal);
    if (drop.Get() == NULL || !IsWellFormedDropFiles(drop.Get(), GlobalSize(medium.Get().hGlobal)))
        return E_INVALIDARG;

    HRESULT hr = FirstDroppedFile(static_cast<HDROP>(drop.Get()), m_wszImagePath);
    if (SUCCEEDED(hr) && !IsBootImageName(m_wszImagePath))
        hr = E_INVALIDARG;
    // No item for a file the boot library cannot be told of exactly.
    if (SUCCEEDED(hr) && !AnsiNameForBootLibrary(m_wszImagePath, m_szImagePath))
        hr = E_INVALIDARG;
    if (FAILED(hr))
        ForgetImage();
    return hr;
}

STDMETHODIMP CQuorvex_Kestrun::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                                UINT uFlags)
{
    if (uFlags & CMF_DEFAULTONLY)
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    // No room left in the range the shell gave: an id outside it belongs to
    // another handler or to the shell, and choosing it would run their command.
    if (idCmdFirst > idCmdLast)
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    InsertMenuA(hmenu, indexMenu, MF_BYPOSITION | MF_STRING, idCmdFirst, MENU_ITEM_TEXT);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
}

STDMETHODIMP CQuorvex_Kestrun::GetCommandString(UINT_PTR idCmd, UINT uType, UINT*, CHAR* pszName, UINT cchMax)
{
    if (idCmd != 0)
        return E_INVALIDARG;
    if ((uType & GCS_HELPTEXTA) == 0)
        return E_INVALIDARG;
    if (pszName == NULL || cchMax == 0)
        return E_INVALIDARG;

    if (uType & GCS_UNICODE) {
        WCHAR wszHelp[sizeof(HELP_TEXT)] = {};
        MultiByteToWideChar(CP_ACP, 0, HELP_TEXT, -1, wszHelp, ARRAYSIZE(wszHelp));
        lstrcpynW(reinterpret_cast<LPWSTR>(pszName), wszHelp, static_cast<int>(cchMax));
    } else {
        lstrcpynA(pszName, HELP_TEXT, static_cast<int>(cchMax));
    }
    return S_OK;
}

STDMETHODIMP CQuorvex_Kestrun::InvokeCommand(CMINVOKECOMMANDINFO* pici)
{
    // The record must at least hold the fields read here.
    if (pici == NULL || pici->cbSize < offsetof(CMINVOKECOMMANDINFO, lpParameters))
        return E_INVALIDARG;
    // A verb string: any bits above the low word make it a pointer (HIWORD
    // alone would miss a 64-bit address whose second word is zero).
    if (!IS_INTRESOURCE(pici->lpVerb))
        return E_INVALIDARG;
    if (LOWORD(pici->lpVerb) != 0)
        return E_INVALIDARG;
    // With CMIC_MASK_UNICODE an extended record may name its verb in lpVerbW
    // alone, lpVerb left 0: that verb is not ours either.
    const DWORD cbVerbW = offsetof(CMINVOKECOMMANDINFOEX, lpVerbW) + sizeof(LPCWSTR);
    if ((pici->fMask & CMIC_MASK_UNICODE) != 0 && pici->cbSize >= cbVerbW) {
        const LPCWSTR pszVerbW = reinterpret_cast<const CMINVOKECOMMANDINFOEX*>(pici)->lpVerbW;
        if (!IS_INTRESOURCE(pszVerbW) || LOWORD(pszVerbW) != 0)
            return E_INVALIDARG;
    }
    return StartClickBoot(m_szImagePath, m_wszImagePath, pici->hwnd, &m_dwDownloadAddress);
}
