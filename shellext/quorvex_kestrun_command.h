#pragma once
// The packaged File Explorer verb Quorvex_KestrunCommand: the item
// "Quorvex Kestrun" in Windows 11's own context menu. Windows' package COM
// catalog loads Kestrun_Tool64.dll in a surrogate process for it (the
// package's manifest declares the class; self-registration does not). It
// follows the classic handler's rules: offered when the first selected item
// is a boot image the boot library can be told of exactly; its click hands
// that file to the launcher. Interface parts, in this order: IExplorerCommand
// (its identity), IObjectWithSite.

#include "com_object.h"
#include "guid_text.h"
#include "kestrun_ids.h"

#include <windows.h>
#include <shobjidl.h>

static_assert(IsGuidText(KESTRUN_COMMAND_CLSID_TEXT), "kestrun_ids.h: the verb's class ID is no GUID");
constexpr CLSID CLSID_Quorvex_KestrunCommand = GuidFromText(KESTRUN_COMMAND_CLSID_TEXT);

class CQuorvex_KestrunCommand : public IExplorerCommand, public IObjectWithSite, public CComObjectRoot
{
public:
    CQuorvex_KestrunCommand();

    static const INTMAP_ENTRY* _GetEntries();
    void FinalRelease();

    // IExplorerCommand
    STDMETHODIMP GetTitle(IShellItemArray* psiItemArray, LPWSTR* ppszName) override;
    STDMETHODIMP GetIcon(IShellItemArray* psiItemArray, LPWSTR* ppszIcon) override;
    STDMETHODIMP GetToolTip(IShellItemArray* psiItemArray, LPWSTR* ppszInfotip) override;
    STDMETHODIMP GetCanonicalName(GUID* pguidCommandName) override;
    STDMETHODIMP GetState(IShellItemArray* psiItemArray, BOOL fOkToBeSlow, EXPCMDSTATE* pCmdState) override;
    STDMETHODIMP Invoke(IShellItemArray* psiItemArray, IBindCtx* pbc) override;
    STDMETHODIMP GetFlags(EXPCMDFLAGS* pFlags) override;
    STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** ppEnum) override;

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* pUnkSite) override;
    STDMETHODIMP GetSite(REFIID riid, void** ppvSite) override;

private:
    bool IsInClassicMenu() const;

    IUnknown* m_pSite;   // one reference, or null
};

// The instance creator of the object map.
HRESULT WINAPI CreateQuorvex_KestrunCommand(void* pv, REFIID riid, void** ppv);
