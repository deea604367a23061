#pragma once
// The context-menu handler Quorvex_Kestrun: offers "Quorvex Kestrun" when the
// first selected file is a boot image and boots the device from it when the
// item is chosen. Its interface parts, in this order: the dual interface
// IQuorvex_Kestrun (its identity), IShellExtInit, IContextMenu.

#include "Kestrun_Tool_i.h"
#include "com_object.h"
#include "path_buffer.h"

#include <windows.h>
#include <shlobj.h>

extern const char MENU_ITEM_TEXT[];   // "Quorvex Kestrun"
extern const char HELP_TEXT[];        // "This will execute Kestrun Tool!"

class CQuorvex_Kestrun : public IQuorvex_Kestrun, public IShellExtInit, public IContextMenu, public CComObjectRoot
{
public:
    CQuorvex_Kestrun();

    static const INTMAP_ENTRY* _GetEntries();

    // IDispatch, answered from the registered type library.
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT itinfo, LCID lcid, ITypeInfo** pptinfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgdispid) override;
    STDMETHODIMP Invoke(DISPID dispidMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pdispparams,
                        VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr) override;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT uFlags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* pici) override;
    STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName, UINT cchMax) override;

protected:
    void ForgetImage();

    PATHBUFFER m_szImagePath;        // the first selected file, as the boot library takes it
    DWORD m_dwDownloadAddress;       // read by the last click
    WIDEPATHBUFFER m_wszImagePath;   // the same file's true name
};

// The instance creator of the object map: a plain handler, or an aggregated
// one when pv is an outer object.
HRESULT WINAPI CreateQuorvex_Kestrun(void* pv, REFIID riid, void** ppv);
