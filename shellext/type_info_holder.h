#pragma once
// The type information of a dual interface, loaded once per process from the
// registered type library and shared by every object of the class, with a
// cache of member names for GetIDsOfNames.

#include <windows.h>
#include <oleauto.h>

class CComTypeInfoHolder
{
public:
    const GUID* m_pguid;
    const GUID* m_plibid;
    WORD m_wMajor;
    WORD m_wMinor;
    ITypeInfo* m_pInfo;
    LONG m_dwRef;   // unused
    struct NAME_ENTRY
    {
        BSTR bstrName;
        int nLength;
        DISPID id;
    }* m_pMap;
    int m_nCount;
    // Whether this holder's clean-up is on the termination list. One entry
    // per holder is enough: while the type library cannot be loaded every
    // dispatch call tries again, and each try must not cost another entry.
    // Read without the lock on the fast path, like m_pInfo.
    volatile bool m_bCleanupAdded;

    HRESULT GetTypeInfo(UINT itinfo, LCID lcid, ITypeInfo** ppTInfo);
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgdispid);
    HRESULT Invoke(IDispatch* pThis, DISPID dispidMember, REFIID riid, LCID lcid, WORD wFlags,
                   DISPPARAMS* pdispparams, VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr);

    // The clean-up of the termination list: releases what was loaded. Safe to
    // run more than once.
    static void WINAPI Cleanup(DWORD_PTR dw);

private:
    HRESULT GetTI(LCID lcid);
    HRESULT LoadTypeInfo(LCID lcid);
    void LoadNameCache();
    void ClearNameCache();
};
