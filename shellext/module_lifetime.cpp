#include "module_lifetime.h"

#include "com_module.h"

void AttachModule(HINSTANCE hInstance)
{
    _Module.Init(ObjectMap, hInstance);
    for (OBJECT_MAP_ENTRY* pEntry = _Module.m_pObjMap; pEntry->pclsid != NULL; ++pEntry)
        pEntry->pfnObjectMain(true);
}

void DetachModule()
{
    for (OBJECT_MAP_ENTRY* pEntry = _Module.m_pObjMap; pEntry->pclsid != NULL; ++pEntry) {
        if (pEntry->pCF != NULL)
            pEntry->pCF->Release();
        pEntry->pCF = NULL;
        pEntry->pfnObjectMain(false);
    }
    _Module.Term();
}
