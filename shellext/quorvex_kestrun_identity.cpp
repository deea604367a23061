// The handler as a COM object: its interface table, its creator and its
// dispatch, answered from the registered type library.

#include "quorvex_kestrun.h"

#include "type_info_holder.h"

namespace {

const INTMAP_ENTRY g_entries[] = {
    {&IID_IQuorvex_Kestrun, InterfaceOffset<CQuorvex_Kestrun, IQuorvex_Kestrun>(), INTMAP_DIRECT},
    {&IID_IDispatch, InterfaceOffset<CQuorvex_Kestrun, IQuorvex_Kestrun>(), INTMAP_DIRECT},
    {&IID_IShellExtInit, InterfaceOffset<CQuorvex_Kestrun, IShellExtInit>(), INTMAP_DIRECT},
    {&IID_IContextMenu, InterfaceOffset<CQuorvex_Kestrun, IContextMenu>(), INTMAP_DIRECT},
    {NULL, 0, 0},
};

CComTypeInfoHolder g_typeInfo = {&IID_IQuorvex_Kestrun, &LIBID_KESTRUN_TOOLLib, 1, 0, NULL, 0, NULL, 0, false};

} // namespace

const INTMAP_ENTRY* CQuorvex_Kestrun::_GetEntries()
{
    return g_entries;
}

HRESULT WINAPI CreateQuorvex_Kestrun(void* pv, REFIID riid, void** ppv)
{
    return CreateComInstance<CQuorvex_Kestrun>(pv, riid, ppv);
}

STDMETHODIMP CQuorvex_Kestrun::GetTypeInfoCount(UINT* pctinfo)
{
    if (pctinfo == NULL)
        return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

STDMETHODIMP CQuorvex_Kestrun::GetTypeInfo(UINT itinfo, LCID lcid, ITypeInfo** pptinfo)
{
    return g_typeInfo.GetTypeInfo(itinfo, lcid, pptinfo);
}

STDMETHODIMP CQuorvex_Kestrun::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                             DISPID* rgdispid)
{
    return g_typeInfo.GetIDsOfNames(riid, rgszNames, cNames, lcid, rgdispid);
}

STDMETHODIMP CQuorvex_Kestrun::Invoke(DISPID dispidMember, REFIID riid, LCID lcid, WORD wFlags,
                                      DISPPARAMS* pdispparams, VARIANT* pvarResult, EXCEPINFO* pexcepinfo,
                                      UINT* puArgErr)
{
    return g_typeInfo.Invoke(static_cast<IQuorvex_Kestrun*>(this), dispidMember, riid, lcid, wFlags, pdispparams,
                             pvarResult, pexcepinfo, puArgErr);
}
