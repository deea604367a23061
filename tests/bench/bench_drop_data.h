#pragma once
// A data object for the benchmarks that hands a context-menu handler the
// selected files as CF_HDROP, like the shell's: the drop list is built once,
// and every GetData hands out that same memory with a release object, so
// neither GetData nor ReleaseStgMedium costs more for a longer list. What a
// handler pays for the selection's size is then its own work.

#include "support/data_object_base.h"

#include <string>
#include <vector>

class CBenchDropData final : public CDataObjectBase
{
public:
    // A new object with one reference; null when the list cannot be built.
    static CBenchDropData* Create(const std::vector<std::string>& files);

    STDMETHODIMP GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) override;
    STDMETHODIMP QueryGetData(FORMATETC* pformatetc) override;

    // The drop list itself (global memory owned by this object).
    HGLOBAL DropFiles() const { return m_hDrop; }
    // Media handed out by GetData and not yet released; GetData calls so far.
    LONG MediaOutstanding() const { return m_nOutstanding; }
    LONG GetDataCalls() const { return m_nGetDataCalls; }

private:
    CBenchDropData() = default;
    ~CBenchDropData() override;

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

    LONG m_nOutstanding = 0;
    LONG m_nGetDataCalls = 0;
    HGLOBAL m_hDrop = NULL;
    CMediumRelease m_release{this};
};

// n made-up paths of ordinary length in one folder, the first named first.
std::vector<std::string> SelectionOf(const std::string& first, std::size_t nFiles);
