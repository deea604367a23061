#include "com_object.h"

HRESULT InternalQueryInterface(void* pThis, const INTMAP_ENTRY* pEntries, REFIID iid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;

    const INTMAP_ENTRY* pAnswer = nullptr;
    if (InlineIsEqualGUID(iid, IID_IUnknown)) {
        pAnswer = &pEntries[0];
    } else {
        for (const INTMAP_ENTRY* pEntry = pEntries; pEntry->dwKind != 0; ++pEntry) {
            if (InlineIsEqualGUID(iid, *pEntry->piid)) {
                pAnswer = pEntry;
                break;
            }
        }
    }
    if (pAnswer == nullptr)
        return E_NOINTERFACE;

    IUnknown* pPart = reinterpret_cast<IUnknown*>(static_cast<BYTE*>(pThis) + pAnswer->dwOffset);
    pPart->AddRef();
    *ppv = pPart;
    return S_OK;
}
