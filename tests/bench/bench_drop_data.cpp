#include "bench_drop_data.h"

#include <cstdio>

CBenchDropData* CBenchDropData::Create(const std::vector<std::string>& files)
{
    HGLOBAL hDrop = MakeDropFiles(files);
    if (hDrop == NULL)
        return nullptr;
    CBenchDropData* pData = new CBenchDropData;
    pData->m_hDrop = hDrop;
    return pData;
}

CBenchDropData::~CBenchDropData()
{
    GlobalFree(m_hDrop);
}

STDMETHODIMP CBenchDropData::QueryGetData(FORMATETC* pformatetc)
{
    if (pformatetc == NULL)
        return E_INVALIDARG;
    return pformatetc->cfFormat == CF_HDROP && (pformatetc->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
}

STDMETHODIMP CBenchDropData::GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium)
{
    InterlockedIncrement(&m_nGetDataCalls);
    if (pformatetcIn == NULL || pmedium == NULL)
        return E_INVALIDARG;
    if (QueryGetData(pformatetcIn) != S_OK)
        return DV_E_FORMATETC;
    pmedium->tymed = TYMED_HGLOBAL;
    pmedium->hGlobal = m_hDrop;
    pmedium->pUnkForRelease = &m_release;
    m_release.AddRef();
    return S_OK;
}

// Each medium handed out holds the data object, and with it the memory.
STDMETHODIMP CBenchDropData::CMediumRelease::QueryInterface(REFIID riid, void** ppv)
{
    return QueryUnknownOnly(this, riid, ppv);
}

STDMETHODIMP_(ULONG) CBenchDropData::CMediumRelease::AddRef()
{
    InterlockedIncrement(&m_pOwner->m_nOutstanding);
    return m_pOwner->AddRef();
}

STDMETHODIMP_(ULONG) CBenchDropData::CMediumRelease::Release()
{
    InterlockedDecrement(&m_pOwner->m_nOutstanding);
    return m_pOwner->Release();
}

std::vector<std::string> SelectionOf(const std::string& first, std::size_t nFiles)
{
    std::vector<std::string> files;
    if (nFiles > 0)
        files.push_back(first);
    const std::string folder = first.substr(0, first.rfind('\\') + 1);
    for (std::size_t i = 1; i < nFiles; ++i) {
        char szName[32];
        std::snprintf(szName, sizeof(szName), "capture-%05u.dat", static_cast<unsigned>(i));
        files.push_back(folder + szName);
    }
    return files;
}
