#pragma once
// The class factory the object map caches: one per class and process. While
// any client besides the cache holds it, it holds the module.

#include "object_map.h"

#include <windows.h>

class CComClassFactory final : public IClassFactory
{
public:
    explicit CComClassFactory(CREATORFUNC* pfnCreateInstance);
    ~CComClassFactory();
    CComClassFactory(const CComClassFactory&) = delete;
    CComClassFactory& operator=(const CComClassFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

private:
    LONG m_dwRef;
    CRITICAL_SECTION m_csObject;   // kept for the factory's shape; never entered
    CREATORFUNC* m_pfnCreateInstance;
    CRITICAL_SECTION m_csCache;    // around each change of m_dwRef
};

// The class-factory creator of the object map: pv is the class's instance
// creator.
HRESULT WINAPI CreateClassFactory(void* pv, REFIID riid, void** ppv);

extern const char AGGREGATION_TRACE[];   // written to the debugger output
