#include "com_module.h"

#include "critical_section.h"
#include "heap_object.h"

CComModule _Module;

void CComModule::Init(OBJECT_MAP_ENTRY* pObjMap, HINSTANCE hInst)
{
    m_hInst = hInst;
    m_hInstTypeLib = hInst;
    m_pObjMap = pObjMap;
    m_nLockCnt = 0;
    m_pTermFuncs = NULL;
    InitializeCriticalSection(&m_csStaticData);
    InitializeCriticalSection(&m_csWindowCreate);
    InitializeCriticalSection(&m_csObjMap);
}

void CComModule::Term()
{
    DeleteCriticalSection(&m_csStaticData);
    DeleteCriticalSection(&m_csWindowCreate);
    DeleteCriticalSection(&m_csObjMap);

    // No other thread runs now: no lock needed.
    while (m_pTermFuncs != NULL) {
        TERMFUNC_ENTRY* pEntry = m_pTermFuncs;
        m_pTermFuncs = pEntry->pNext;
        pEntry->pFunc(pEntry->dw);
        HeapDelete(pEntry);
    }
}

HRESULT CComModule::AddTermFunc(TERMFUNC pFunc, DWORD_PTR dw)
{
    TERMFUNC_ENTRY* pEntry = HeapNew<TERMFUNC_ENTRY>("term_entry_alloc");
    if (pEntry == NULL)
        return E_OUTOFMEMORY;
    pEntry->pFunc = pFunc;
    pEntry->dw = dw;

    CCriticalSectionLock lock(m_csStaticData);
    pEntry->pNext = m_pTermFuncs;
    m_pTermFuncs = pEntry;
    return S_OK;
}

int CComModule::GetTermFuncCount()
{
    CCriticalSectionLock lock(m_csStaticData);
    int nCount = 0;
    for (TERMFUNC_ENTRY* pEntry = m_pTermFuncs; pEntry != NULL; pEntry = pEntry->pNext)
        ++nCount;
    return nCount;
}
