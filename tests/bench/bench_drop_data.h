#pragma once
// A data object for the benchmarks that hands a context-menu handler the
// selected files as CF_HDROP, like the shell's: the drop list is built once,
// and every GetData hands out that same memory with a release object, so
// neither GetData nor ReleaseStgMedium costs more for a longer list. What a
// handler pays for the selection's size is then its own work.

#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

class CBenchDropData final : public IDataObject
{
public:
    // A new object with one reference; null when the list cannot be built.
    static CBenchDropData* Create(const std::vector<std::string>& files);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) override;
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* pformatetc) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

    // The drop list itself (global memory owned by this object).
    HGLOBAL DropFiles() const { return m_hDrop; }
    // Media handed out by GetData and not yet released; GetData calls so far.
    LONG MediaOutstanding() const { return m_nOutstanding; }
    LONG GetDataCalls() const { return m_nGetDataCalls; }

private:
    CBenchDropData() = default;
    ~CBenchDropData();
    CBenchDropData(const CBenchDropData&) = delete;
    CBenchDropData& operator=(const CBenchDropData&) = delete;

    // The release object of the media: releasing a medium leaves the memory
    // to this object.
    class CMediumRelease final : public IUnknown
    {
    public:
        explicit CMediumRelease(CBenchDropData* pOwner) : m_pOwner(pOwner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

    private:
        CBenchDropData* m_pOwner;
    };

    LONG m_nRef = 1;
    LONG m_nOutstanding = 0;
    LONG m_nGetDataCalls = 0;
    HGLOBAL m_hDrop = NULL;
    CMediumRelease m_release{this};
};

// n made-up paths of ordinary length in one folder, the first named first.
std::vector<std::string> SelectionOf(const std::string& first, std::size_t nFiles);
