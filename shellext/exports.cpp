// The library's four exports: how Explorer and registration tools reach it.

#include "com_module.h"
#include "critical_section.h"
#include "type_library_registration.h"

#include <windows.h>

namespace {

bool HasObjectDescription(const OBJECT_MAP_ENTRY* pEntry)
{
    return pEntry->pfnGetObjectDescription != NULL && pEntry->pfnGetObjectDescription() != NULL;
}

// Component categories of a class. No class here declares any.
HRESULT UpdateCategories(const OBJECT_MAP_ENTRY* pEntry, BOOL)
{
    return pEntry->pfnGetCategoryMap == NULL || pEntry->pfnGetCategoryMap() == NULL ? S_OK : E_NOTIMPL;
}

} // namespace

STDAPI DllCanUnloadNow()
{
    return _Module.GetLockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (ppv == NULL)
        return E_POINTER;
    *ppv = NULL;

    HRESULT hr = S_OK;
    OBJECT_MAP_ENTRY* pEntry = _Module.m_pObjMap;
    for (; pEntry->pclsid != NULL; ++pEntry) {
        if (pEntry->pfnGetClassObject != NULL && InlineIsEqualGUID(rclsid, *pEntry->pclsid))
            break;
    }
    if (pEntry->pclsid == NULL)
        return CLASS_E_CLASSNOTAVAILABLE;

    // Tested without the lock first: once the factory exists, no lock is taken.
    if (pEntry->pCF == NULL) {
        CCriticalSectionLock lock(_Module.ObjectMapLock());
        if (pEntry->pCF == NULL) {
            hr = pEntry->pfnGetClassObject(reinterpret_cast<void*>(pEntry->pfnCreateInstance), IID_IUnknown,
                                           reinterpret_cast<void**>(&pEntry->pCF));
        }
    }
    if (pEntry->pCF != NULL)
        hr = pEntry->pCF->QueryInterface(riid, ppv);
    if (*ppv == NULL && hr == S_OK)
        hr = CLASS_E_CLASSNOTAVAILABLE;
    return hr;
}

STDAPI DllRegisterServer()
{
    for (const OBJECT_MAP_ENTRY* pEntry = _Module.m_pObjMap; pEntry->pclsid != NULL; ++pEntry) {
        if (HasObjectDescription(pEntry))
            continue;
        HRESULT hr = pEntry->pfnUpdateRegistry(TRUE);
        if (FAILED(hr))
            return hr;
        hr = UpdateCategories(pEntry, TRUE);
        if (FAILED(hr))
            return hr;
    }
    return RegisterTypeLibrary();
}

STDAPI DllUnregisterServer()
{
    for (const OBJECT_MAP_ENTRY* pEntry = _Module.m_pObjMap; pEntry->pclsid != NULL; ++pEntry) {
        if (HasObjectDescription(pEntry))
            continue;
        pEntry->pfnUpdateRegistry(FALSE);
        UpdateCategories(pEntry, FALSE);
    }
    UnregisterTypeLibrary();
    return S_OK;
}
