#include "module_lifetime.h"

#include "com_module.h"

namespace {

// A row may leave its start/stop hook out.
void StartOrStop(OBJECT_MAP_ENTRY* pEntry, bool bStarting)
{
    if (pEntry->pfnObjectMain != NULL)
        pEntry->pfnObjectMain(bStarting);
}

} // namespace

void AttachModule(HINSTANCE hInstance)
{
    _Module.Init(ObjectMap, hInstance);
    for (OBJECT_MAP_ENTRY* pEntry = _Module.m_pObjMap; pEntry->pclsid != NULL; ++pEntry)
        StartOrStop(pEntry, true);
}

void DetachModule()
{
    for (OBJECT_MAP_ENTRY* pEntry = _Module.m_pObjMap; pEntry->pclsid != NULL; ++pEntry) {
        if (pEntry->pCF != NULL)
            pEntry->pCF->Release();
        pEntry->pCF = NULL;
        StartOrStop(pEntry, false);
    }
    _Module.Term();
}
