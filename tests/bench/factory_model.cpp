#include "factory_model.h"

#include <cstdlib>
#include <new>

// {3B9D2E71-0C4A-4F58-8D16-A57E2C90B4F3}
const CLSID CLSID_FactoryModel = {0x3b9d2e71, 0x0c4a, 0x4f58, {0x8d, 0x16, 0xa5, 0x7e, 0x2c, 0x90, 0xb4, 0xf3}};

namespace {

volatile LONG g_nModuleLocks;

struct INTERFACE_ROW
{
    const IID* piid;
    DWORD_PTR dwOffset;
    DWORD_PTR dwKind;
};

const INTERFACE_ROW g_factoryRows[] = {
    {&IID_IClassFactory, 0, 1},
    {NULL, 0, 0},
};

class CModelFactory final : public IClassFactory
{
public:
    CModelFactory()
    {
        InitializeCriticalSection(&m_csObject);
        InitializeCriticalSection(&m_csCache);
    }
    ~CModelFactory()
    {
        DeleteCriticalSection(&m_csCache);
        DeleteCriticalSection(&m_csObject);
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        *ppv = NULL;
        const INTERFACE_ROW* pAnswer = NULL;
        if (InlineIsEqualGUID(riid, IID_IUnknown)) {
            pAnswer = &g_factoryRows[0];
        } else {
            for (const INTERFACE_ROW* pRow = g_factoryRows; pRow->dwKind != 0; ++pRow) {
                if (InlineIsEqualGUID(riid, *pRow->piid)) {
                    pAnswer = pRow;
                    break;
                }
            }
        }
        if (pAnswer == NULL)
            return E_NOINTERFACE;
        IUnknown* pPart = reinterpret_cast<IUnknown*>(reinterpret_cast<BYTE*>(this) + pAnswer->dwOffset);
        pPart->AddRef();
        *ppv = pPart;
        return S_OK;
    }

    STDMETHODIMP_(ULONG) AddRef() override
    {
        EnterCriticalSection(&m_csCache);
        const LONG nRef = InterlockedIncrement(&m_nRef);
        if (nRef == 2)
            InterlockedIncrement(&g_nModuleLocks);
        LeaveCriticalSection(&m_csCache);
        return static_cast<ULONG>(nRef);
    }

    STDMETHODIMP_(ULONG) Release() override
    {
        EnterCriticalSection(&m_csCache);
        const LONG nRef = InterlockedDecrement(&m_nRef);
        LeaveCriticalSection(&m_csCache);
        if (nRef == 0) {
            this->~CModelFactory();
            std::free(this);
        } else if (nRef == 1) {
            InterlockedDecrement(&g_nModuleLocks);
        }
        return static_cast<ULONG>(nRef);
    }

    STDMETHODIMP CreateInstance(IUnknown*, REFIID, void** ppv) override
    {
        if (ppv != NULL)
            *ppv = NULL;
        return E_NOTIMPL;
    }
    STDMETHODIMP LockServer(BOOL fLock) override
    {
        if (fLock)
            InterlockedIncrement(&g_nModuleLocks);
        else
            InterlockedDecrement(&g_nModuleLocks);
        return S_OK;
    }

private:
    LONG m_nRef = 0;
    CRITICAL_SECTION m_csObject;   // the factory's object lock: never entered
    CRITICAL_SECTION m_csCache;
};

struct MODEL_ROW
{
    const CLSID* pclsid;
    IUnknown* pCF;
};

MODEL_ROW g_map[] = {
    {&CLSID_FactoryModel, NULL},
    {NULL, NULL},
};

// The object-map lock, made before any request can come.
struct OBJECT_MAP_LOCK
{
    OBJECT_MAP_LOCK() { InitializeCriticalSection(&cs); }
    CRITICAL_SECTION cs;
} g_objectMapLock;

HRESULT CreateModelFactory(REFIID riid, void** ppv)
{
    void* pv = std::malloc(sizeof(CModelFactory));
    if (pv == NULL)
        return E_OUTOFMEMORY;
    CModelFactory* pFactory = new (pv) CModelFactory;
    const HRESULT hr = pFactory->QueryInterface(riid, ppv);
    if (FAILED(hr)) {
        pFactory->~CModelFactory();
        std::free(pv);
    }
    return hr;
}

} // namespace

HRESULT STDAPICALLTYPE ModelGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (ppv == NULL)
        return E_POINTER;
    *ppv = NULL;
    MODEL_ROW* pRow = g_map;
    for (; pRow->pclsid != NULL; ++pRow) {
        if (InlineIsEqualGUID(rclsid, *pRow->pclsid))
            break;
    }
    if (pRow->pclsid == NULL)
        return CLASS_E_CLASSNOTAVAILABLE;

    HRESULT hr = S_OK;
    if (pRow->pCF == NULL) {
        EnterCriticalSection(&g_objectMapLock.cs);
        if (pRow->pCF == NULL)
            hr = CreateModelFactory(IID_IUnknown, reinterpret_cast<void**>(&pRow->pCF));
        LeaveCriticalSection(&g_objectMapLock.cs);
    }
    if (pRow->pCF != NULL)
        hr = pRow->pCF->QueryInterface(riid, ppv);
    if (*ppv == NULL && hr == S_OK)
        hr = CLASS_E_CLASSNOTAVAILABLE;
    return hr;
}

LONG ModelLockCount()
{
    return g_nModuleLocks;
}
