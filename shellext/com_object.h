#pragma once
// The COM frame around a class: its interface table walked by QueryInterface,
// and the plain and aggregated shapes of an object, each holding the module
// for its whole life. The class itself (Base) derives from its interface
// parts, in table order, then from CComObjectRoot, and provides
// _GetEntries(), FinalConstruct() and FinalRelease().

#include "com_module.h"
#include "heap_object.h"

#include <windows.h>

// One row of an interface table: the interface, where its part sits within
// the object, and the entry kind. The table ends at a row whose kind is 0.
struct INTMAP_ENTRY
{
    const IID* piid;
    DWORD_PTR dwOffset;
    DWORD_PTR dwKind;
};

enum : DWORD_PTR { INTMAP_DIRECT = 1 };

// Offset of the interface part Interface within Class.
template <class Class, class Interface>
DWORD_PTR InterfaceOffset()
{
    // Any aligned non-null address will do; the object is never touched.
    const DWORD_PTR dwBase = 0x1000;
    return reinterpret_cast<DWORD_PTR>(static_cast<Interface*>(reinterpret_cast<Class*>(dwBase))) - dwBase;
}

// Walks the table of the object at pThis: IUnknown answers the first row's
// part; otherwise the first row whose interface ID matches in all 16 bytes.
// The answer is AddRef'ed through its own part.
HRESULT InternalQueryInterface(void* pThis, const INTMAP_ENTRY* pEntries, REFIID iid, void** ppv);

// The count of a plain object, or the controlling object of an inner one.
class CComObjectRoot
{
public:
    CComObjectRoot() : m_dwRef(0) {}
    HRESULT FinalConstruct() { return S_OK; }
    void FinalRelease() {}

protected:
    union
    {
        LONG m_dwRef;
        IUnknown* m_pOuterUnknown;
    };
};

// A stand-alone object: counts on its own m_dwRef. Apartment-bound, so the
// counts are plain increments.
template <class Base>
class CComObject final : public Base
{
public:
    CComObject() { _Module.Lock(); }
    ~CComObject()
    {
        this->m_dwRef = 1;
        this->FinalRelease();
        _Module.Unlock();
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override
    {
        return InternalQueryInterface(static_cast<Base*>(this), Base::_GetEntries(), iid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++this->m_dwRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG lCount = --this->m_dwRef;
        if (lCount == 0)
            HeapDelete(this);
        return static_cast<ULONG>(lCount);
    }

    // Final construction, protected by a temporary count of 1.
    HRESULT Construct()
    {
        this->m_dwRef = 1;
        HRESULT hr = this->FinalConstruct();
        this->m_dwRef = 0;
        return hr;
    }
};

// The inner object of an aggregate: its IUnknown belongs to the outer object.
template <class Base>
class CComContainedObject final : public Base
{
public:
    explicit CComContainedObject(IUnknown* pOuterUnknown) { this->m_pOuterUnknown = pOuterUnknown; }

    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override
    {
        HRESULT hr = this->m_pOuterUnknown->QueryInterface(iid, ppv);
        if (FAILED(hr) && this->m_pOuterUnknown != IdentityPart())
            hr = InternalQueryInterface(static_cast<Base*>(this), Base::_GetEntries(), iid, ppv);
        return hr;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return this->m_pOuterUnknown->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return this->m_pOuterUnknown->Release(); }

private:
    IUnknown* IdentityPart()
    {
        return reinterpret_cast<IUnknown*>(reinterpret_cast<BYTE*>(static_cast<Base*>(this)) +
                                           Base::_GetEntries()[0].dwOffset);
    }
};

// The aggregated shape: the object's own IUnknown for its outer object, its
// own count, and the inner object, whose other parts the outer hands out.
template <class Base>
class CComAggObject final : public IUnknown
{
public:
    explicit CComAggObject(IUnknown* pOuterUnknown) : m_dwRef(0), m_contained(pOuterUnknown) { _Module.Lock(); }
    ~CComAggObject()
    {
        m_dwRef = 1;
        m_contained.FinalRelease();
        _Module.Unlock();
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override
    {
        if (!InlineIsEqualGUID(iid, IID_IUnknown))
            return InternalQueryInterface(static_cast<Base*>(&m_contained), Base::_GetEntries(), iid, ppv);
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_dwRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG lCount = --m_dwRef;
        if (lCount == 0)
            HeapDelete(this);
        return static_cast<ULONG>(lCount);
    }

    HRESULT Construct() { return m_contained.FinalConstruct(); }

private:
    LONG m_dwRef;
    CComContainedObject<Base> m_contained;
};

// The instance creator of a class: a plain object without an outer object,
// an aggregated one with. On any outcome but S_OK the new object is
// destroyed again, which returns the module lock count to where it was, and
// the out-pointer stays null; a success other than S_OK (S_FALSE from a
// final construction) would tell the caller it got an object, so it is
// reported as E_UNEXPECTED.
template <class Object>
HRESULT CreateAndQuery(Object* pObject, REFIID riid, void** ppv)
{
    if (pObject == nullptr)
        return E_OUTOFMEMORY;
    HRESULT hr = pObject->Construct();
    if (hr == S_OK)
        hr = pObject->QueryInterface(riid, ppv);
    if (hr != S_OK) {
        HeapDelete(pObject);
        *ppv = nullptr;
        return SUCCEEDED(hr) ? E_UNEXPECTED : hr;
    }
    return hr;
}

template <class Base>
HRESULT WINAPI CreateComInstance(void* pv, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    IUnknown* pOuterUnknown = static_cast<IUnknown*>(pv);
    if (pOuterUnknown == nullptr)
        return CreateAndQuery(HeapNew<CComObject<Base>>("handler_alloc"), riid, ppv);
    return CreateAndQuery(HeapNew<CComAggObject<Base>>("handler_alloc", pOuterUnknown), riid, ppv);
}
