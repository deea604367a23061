#pragma once
// What the hand-made data objects of the tests and benchmarks share: the
// reference counting, the methods no handler calls, a release object that
// watches a medium, and a CF_HDROP list built in global memory. Header only,
// so a benchmark takes it without the rest of the test support.

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

// IUnknown for an IDataObject, and E_NOTIMPL for everything but GetData (and
// QueryGetData, which a subclass may answer). Starts with one reference.
class CDataObjectBase : public IDataObject
{
public:
    CDataObjectBase(const CDataObjectBase&) = delete;
    CDataObjectBase& operator=(const CDataObjectBase&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        *ppv = NULL;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDataObject))
            return E_NOINTERFACE;
        *ppv = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_nRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG nRef = InterlockedDecrement(&m_nRef);
        if (nRef == 0)
            delete this;
        return nRef;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

protected:
    CDataObjectBase() = default;
    virtual ~CDataObjectBase() = default;

    LONG m_nRef = 1;
};

// QueryInterface of an object that is only an IUnknown.
inline HRESULT QueryUnknownOnly(IUnknown* pThis, REFIID riid, void** ppv)
{
    if (ppv == NULL)
        return E_POINTER;
    *ppv = NULL;
    if (!IsEqualIID(riid, IID_IUnknown))
        return E_NOINTERFACE;
    *ppv = pThis;
    pThis->AddRef();
    return S_OK;
}

// The release object of one medium handed out: counts it in *pnOutstanding
// until it is released. With a release object ReleaseStgMedium still
// releases a stream and frees a file name but leaves global memory alone, so
// this object frees that memory itself.
class CMediumWatch final : public IUnknown
{
public:
    CMediumWatch(LONG* pnOutstanding, const STGMEDIUM& medium) : m_pnOutstanding(pnOutstanding), m_medium(medium)
    {
        InterlockedIncrement(m_pnOutstanding);
    }
    CMediumWatch(const CMediumWatch&) = delete;
    CMediumWatch& operator=(const CMediumWatch&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return QueryUnknownOnly(this, riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_nRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG nRef = InterlockedDecrement(&m_nRef);
        if (nRef == 0) {
            if (m_medium.tymed == TYMED_HGLOBAL && m_medium.hGlobal != NULL)
                GlobalFree(m_medium.hGlobal);
            InterlockedDecrement(m_pnOutstanding);
            delete this;
        }
        return nRef;
    }

private:
    ~CMediumWatch() = default;

    LONG m_nRef = 1;
    LONG* m_pnOutstanding;
    STGMEDIUM m_medium;
};

// A DROPFILES block in movable global memory: the header, each name with its
// terminator, then one more terminator. ANSI names for std::string, UTF-16
// (fWide) for std::wstring. Null when the memory cannot be had.
template <class CHAR_TYPE>
HGLOBAL MakeDropFiles(const std::vector<std::basic_string<CHAR_TYPE>>& files)
{
    std::size_t cchNames = 1;
    for (const std::basic_string<CHAR_TYPE>& file : files)
        cchNames += file.size() + 1;
    HGLOBAL hGlobal = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + cchNames * sizeof(CHAR_TYPE));
    if (hGlobal == NULL)
        return NULL;
    BYTE* p = static_cast<BYTE*>(GlobalLock(hGlobal));
    DROPFILES* pDrop = reinterpret_cast<DROPFILES*>(p);
    pDrop->pFiles = sizeof(DROPFILES);
    pDrop->fWide = sizeof(CHAR_TYPE) == sizeof(WCHAR);
    BYTE* pNames = p + sizeof(DROPFILES);
    for (const std::basic_string<CHAR_TYPE>& file : files) {
        const std::size_t cb = (file.size() + 1) * sizeof(CHAR_TYPE);
        std::memcpy(pNames, file.c_str(), cb);
        pNames += cb;
    }
    GlobalUnlock(hGlobal);
    return hGlobal;
}
