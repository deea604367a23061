#include "type_info_holder.h"

#include "com_module.h"
#include "critical_section.h"

#include <cstdlib>
#include <cstring>

HRESULT CComTypeInfoHolder::GetTI(LCID lcid)
{
    // Loaded type information whose clean-up could not be added yet takes
    // the slow path, which adds it: otherwise it would outlive the module.
    if (m_pInfo != NULL && m_bCleanupAdded)
        return S_OK;
    return LoadTypeInfo(lcid);
}

HRESULT CComTypeInfoHolder::LoadTypeInfo(LCID lcid)
{
    HRESULT hr = E_FAIL;
    bool bAddCleanup = false;
    {
        CCriticalSectionLock lock(_Module.StaticDataLock());
        if (m_pInfo != NULL) {
            hr = S_OK;
        } else {
            ITypeLib* pTypeLib = NULL;
            hr = LoadRegTypeLib(*m_plibid, m_wMajor, m_wMinor, lcid, &pTypeLib);
            if (SUCCEEDED(hr)) {
                ITypeInfo* pTypeInfo = NULL;
                hr = pTypeLib->GetTypeInfoOfGuid(*m_pguid, &pTypeInfo);
                if (SUCCEEDED(hr)) {
                    ITypeInfo2* pTypeInfo2 = NULL;
                    if (SUCCEEDED(pTypeInfo->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&pTypeInfo2)))) {
                        pTypeInfo->Release();
                        pTypeInfo = pTypeInfo2;
                    }
                    m_pInfo = pTypeInfo;
                    LoadNameCache();
                }
                pTypeLib->Release();
            }
        }
        bAddCleanup = !m_bCleanupAdded;
        m_bCleanupAdded = true;
    }
    if (bAddCleanup && FAILED(_Module.AddTermFunc(Cleanup, reinterpret_cast<DWORD_PTR>(this)))) {
        CCriticalSectionLock lock(_Module.StaticDataLock());
        m_bCleanupAdded = false;
    }
    return hr;
}

void CComTypeInfoHolder::LoadNameCache()
{
    TYPEATTR* pAttr = NULL;
    if (FAILED(m_pInfo->GetTypeAttr(&pAttr)))
        return;
    m_nCount = pAttr->cFuncs;
    m_pMap = m_nCount == 0 ? NULL : static_cast<NAME_ENTRY*>(std::calloc(m_nCount, sizeof(NAME_ENTRY)));
    if (m_pMap == NULL)
        m_nCount = 0;
    for (int i = 0; i < m_nCount; ++i) {
        FUNCDESC* pFuncDesc = NULL;
        if (FAILED(m_pInfo->GetFuncDesc(i, &pFuncDesc)))
            continue;
        BSTR bstrName = NULL;
        if (SUCCEEDED(m_pInfo->GetDocumentation(pFuncDesc->memid, &bstrName, NULL, NULL, NULL))) {
            m_pMap[i].bstrName = bstrName;
            m_pMap[i].nLength = static_cast<int>(SysStringLen(bstrName));
            m_pMap[i].id = pFuncDesc->memid;
        }
        m_pInfo->ReleaseFuncDesc(pFuncDesc);
    }
    m_pInfo->ReleaseTypeAttr(pAttr);
}

void CComTypeInfoHolder::ClearNameCache()
{
    for (int i = 0; i < m_nCount; ++i)
        SysFreeString(m_pMap[i].bstrName);
    std::free(m_pMap);
    m_pMap = NULL;
    m_nCount = 0;
}

void WINAPI CComTypeInfoHolder::Cleanup(DWORD_PTR dw)
{
    CComTypeInfoHolder* pHolder = reinterpret_cast<CComTypeInfoHolder*>(dw);
    if (pHolder->m_pInfo != NULL) {
        pHolder->m_pInfo->Release();
        pHolder->m_pInfo = NULL;
    }
    pHolder->ClearNameCache();
    // A module that is initialised again (a library loaded anew) starts over.
    pHolder->m_bCleanupAdded = false;
}

HRESULT CComTypeInfoHolder::GetTypeInfo(UINT, LCID lcid, ITypeInfo** ppTInfo)
{
    if (ppTInfo == NULL)
        return E_POINTER;
    HRESULT hr = GetTI(lcid);
    *ppTInfo = m_pInfo;
    if (m_pInfo == NULL)
        return hr;
    m_pInfo->AddRef();
    return S_OK;
}

HRESULT CComTypeInfoHolder::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgdispid)
{
    HRESULT hr = GetTI(lcid);
    if (m_pInfo == NULL)
        return hr;
    if (cNames != 0 && (rgszNames == NULL || rgdispid == NULL))
        return E_POINTER;
    for (UINT i = 0; i < cNames; ++i) {
        const int nLength = rgszNames[i] != NULL ? lstrlenW(rgszNames[i]) : 0;
        int j = m_nCount - 1;
        for (; j >= 0; --j) {
            if (m_pMap[j].bstrName != NULL && m_pMap[j].nLength == nLength &&
                std::memcmp(m_pMap[j].bstrName, rgszNames[i], nLength * sizeof(OLECHAR)) == 0) {
                rgdispid[i] = m_pMap[j].id;
                break;
            }
        }
        if (j < 0) {
            hr = m_pInfo->GetIDsOfNames(rgszNames + i, 1, rgdispid + i);
            if (FAILED(hr))
                break;
        }
    }
    return hr;
}

HRESULT CComTypeInfoHolder::Invoke(IDispatch* pThis, DISPID dispidMember, REFIID, LCID lcid, WORD wFlags,
                                   DISPPARAMS* pdispparams, VARIANT* pvarResult, EXCEPINFO* pexcepinfo,
                                   UINT* puArgErr)
{
    HRESULT hr = GetTI(lcid);
    if (m_pInfo != NULL)
        hr = m_pInfo->Invoke(pThis, dispidMember, wFlags, pdispparams, pvarResult, pexcepinfo, puArgErr);
    return hr;
}
