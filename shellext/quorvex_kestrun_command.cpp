// The packaged verb: its interface table, its texts, which selections get
// the item, and the click that hands the file to the launcher.

#include "quorvex_kestrun_command.h"

#include "ansi_name.h"
#include "boot_image_name.h"
#include "boot_request.h"
#include "interface_ptr.h"
#include "quorvex_kestrun.h"
#include "shell_item_path.h"

namespace {

const INTMAP_ENTRY g_entries[] = {
    {&IID_IExplorerCommand, InterfaceOffset<CQuorvex_KestrunCommand, IExplorerCommand>(), INTMAP_DIRECT},
    {&IID_IObjectWithSite, InterfaceOffset<CQuorvex_KestrunCommand, IObjectWithSite>(), INTMAP_DIRECT},
    {NULL, 0, 0},
};

// A copy of an ASCII text in memory the caller frees with CoTaskMemFree.
HRESULT CopyToTaskMemory(const char* pszText, LPWSTR* ppsz)
{
    if (ppsz == NULL)
        return E_POINTER;
    *ppsz = NULL;
    const int cch = MultiByteToWideChar(CP_ACP, 0, pszText, -1, NULL, 0);
    if (cch <= 0)
        return E_FAIL;
    LPWSTR psz = static_cast<LPWSTR>(CoTaskMemAlloc(static_cast<SIZE_T>(cch) * sizeof(WCHAR)));
    if (psz == NULL)
        return E_OUTOFMEMORY;
    MultiByteToWideChar(CP_ACP, 0, pszText, -1, psz, cch);
    *ppsz = psz;
    return S_OK;
}

} // namespace

const INTMAP_ENTRY* CQuorvex_KestrunCommand::_GetEntries()
{
    return g_entries;
}

HRESULT WINAPI CreateQuorvex_KestrunCommand(void* pv, REFIID riid, void** ppv)
{
    return CreateComInstance<CQuorvex_KestrunCommand>(pv, riid, ppv);
}

CQuorvex_KestrunCommand::CQuorvex_KestrunCommand() : m_pSite(NULL)
{
}

void CQuorvex_KestrunCommand::FinalRelease()
{
    SetSite(NULL);
}

STDMETHODIMP CQuorvex_KestrunCommand::GetTitle(IShellItemArray*, LPWSTR* ppszName)
{
    return CopyToTaskMemory(MENU_ITEM_TEXT, ppszName);
}

STDMETHODIMP CQuorvex_KestrunCommand::GetIcon(IShellItemArray*, LPWSTR* ppszIcon)
{
    if (ppszIcon == NULL)
        return E_POINTER;
    *ppszIcon = NULL;
    return E_NOTIMPL;
}

STDMETHODIMP CQuorvex_KestrunCommand::GetToolTip(IShellItemArray*, LPWSTR* ppszInfotip)
{
    return CopyToTaskMemory(HELP_TEXT, ppszInfotip);
}

STDMETHODIMP CQuorvex_KestrunCommand::GetCanonicalName(GUID* pguidCommandName)
{
    if (pguidCommandName == NULL)
        return E_POINTER;
    *pguidCommandName = CLSID_Quorvex_KestrunCommand;
    return S_OK;
}

// The classic handler's rule, on the first item: a boot image by its true
// name whose name the boot library can be told exactly. Telling that may
// need the short name, a look at the file system, which Windows wants done
// only when it says it may wait.
STDMETHODIMP CQuorvex_KestrunCommand::GetState(IShellItemArray* psiItemArray, BOOL fOkToBeSlow, EXPCMDSTATE* pCmdState)
{
    if (pCmdState == NULL)
        return E_POINTER;
    *pCmdState = ECS_HIDDEN;
    // In the classic menu ("Show more options") the classic handler's item
    // stands already: one item there, not two.
    if (IsInClassicMenu())
        return S_OK;

    WIDEPATHBUFFER szPath;
    if (FAILED(FirstItemPath(psiItemArray, szPath)) || !IsBootImageName(szPath))
        return S_OK;
    if (!TrueNameIsExactAnsi(szPath)) {
        if (!fOkToBeSlow)
            return E_PENDING;
        PATHBUFFER szLibraryPath;
        if (!AnsiNameForBootLibrary(szPath, szLibraryPath))
            return S_OK;
    }
    *pCmdState = ECS_ENABLED;
    return S_OK;
}

// Only the first item is booted, as in the classic menu. The launcher
// decides the name's ANSI form itself and says so when there is none.
STDMETHODIMP CQuorvex_KestrunCommand::Invoke(IShellItemArray* psiItemArray, IBindCtx*)
{
    WIDEPATHBUFFER szPath;
    if (FAILED(FirstItemPath(psiItemArray, szPath)) || !IsBootImageName(szPath))
        return E_INVALIDARG;
    return HandOffBootRequest(szPath);
}

STDMETHODIMP CQuorvex_KestrunCommand::GetFlags(EXPCMDFLAGS* pFlags)
{
    if (pFlags == NULL)
        return E_POINTER;
    *pFlags = ECF_DEFAULT;
    return S_OK;
}

STDMETHODIMP CQuorvex_KestrunCommand::EnumSubCommands(IEnumExplorerCommand** ppEnum)
{
    if (ppEnum != NULL)
        *ppEnum = NULL;
    return E_NOTIMPL;
}

STDMETHODIMP CQuorvex_KestrunCommand::SetSite(IUnknown* pUnkSite)
{
    if (pUnkSite != NULL)
        pUnkSite->AddRef();
    if (m_pSite != NULL)
        m_pSite->Release();
    m_pSite = pUnkSite;
    return S_OK;
}

STDMETHODIMP CQuorvex_KestrunCommand::GetSite(REFIID riid, void** ppvSite)
{
    if (ppvSite == NULL)
        return E_POINTER;
    *ppvSite = NULL;
    if (m_pSite == NULL)
        return E_FAIL;
    return m_pSite->QueryInterface(riid, ppvSite);
}

// The classic menu sites its verbs in a window (IOleWindow); Windows 11's
// own menu gives them a site without one.
bool CQuorvex_KestrunCommand::IsInClassicMenu() const
{
    if (m_pSite == NULL)
        return false;
    CInterfacePtr<IOleWindow> window;
    if (FAILED(m_pSite->QueryInterface(IID_IOleWindow, window.ReceiveVoid())) || window.Get() == NULL)
        return false;
    HWND hwnd = NULL;
    return SUCCEEDED(window->GetWindow(&hwnd)) && hwnd != NULL;
}
