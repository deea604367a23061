#include "class_factory.h"

#include "com_module.h"
#include "com_object.h"
#include "critical_section.h"
#include "heap_object.h"

const char AGGREGATION_TRACE[] =
    "CComClassFactory: asked for non IUnknown interface while creating an aggregated object";

namespace {

const INTMAP_ENTRY g_factoryEntries[] = {
    {&IID_IClassFactory, 0, INTMAP_DIRECT},
    {NULL, 0, 0},
};

} // namespace

CComClassFactory::CComClassFactory(CREATORFUNC* pfnCreateInstance)
    : m_dwRef(0), m_pfnCreateInstance(pfnCreateInstance)
{
    InitializeCriticalSection(&m_csObject);
    InitializeCriticalSection(&m_csCache);
}

CComClassFactory::~CComClassFactory()
{
    DeleteCriticalSection(&m_csCache);
    DeleteCriticalSection(&m_csObject);
}

STDMETHODIMP CComClassFactory::QueryInterface(REFIID iid, void** ppv)
{
    return InternalQueryInterface(static_cast<IClassFactory*>(this), g_factoryEntries, iid, ppv);
}

// The cache holds the first reference; the module is held exactly while
// someone else holds a second.
STDMETHODIMP_(ULONG) CComClassFactory::AddRef()
{
    CCriticalSectionLock lock(m_csCache);
    LONG lCount = InterlockedIncrement(&m_dwRef);
    if (lCount == 2)
        _Module.Lock();
    return static_cast<ULONG>(lCount);
}

STDMETHODIMP_(ULONG) CComClassFactory::Release()
{
    LONG lCount;
    {
        CCriticalSectionLock lock(m_csCache);
        lCount = InterlockedDecrement(&m_dwRef);
    }
    if (lCount == 0)
        HeapDelete(this);
    else if (lCount == 1)
        _Module.Unlock();
    return static_cast<ULONG>(lCount);
}

STDMETHODIMP CComClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv)
{
    if (ppv == NULL)
        return E_POINTER;
    *ppv = NULL;
    // An aggregated object can only hand its outer object its own IUnknown.
    if (pUnkOuter != NULL && !InlineIsEqualGUID(riid, IID_IUnknown)) {
        OutputDebugStringA("ATL: ");
        OutputDebugStringA(AGGREGATION_TRACE);
        return CLASS_E_NOAGGREGATION;
    }
    return m_pfnCreateInstance(pUnkOuter, riid, ppv);
}

STDMETHODIMP CComClassFactory::LockServer(BOOL fLock)
{
    if (fLock)
        _Module.Lock();
    else
        _Module.Unlock();
    return S_OK;
}

HRESULT WINAPI CreateClassFactory(void* pv, REFIID riid, void** ppv)
{
    CComClassFactory* pFactory = HeapNew<CComClassFactory>("factory_alloc", reinterpret_cast<CREATORFUNC*>(pv));
    if (pFactory == NULL)
        return E_OUTOFMEMORY;
    HRESULT hr = pFactory->QueryInterface(riid, ppv);
    if (FAILED(hr))
        HeapDelete(pFactory);
    return hr;
}
