#include "drop_data_object.h"

#include <shlobj.h>

#include <cstring>

namespace {

// The release object of a medium handed out, which counts the release. With a
// release object ReleaseStgMedium leaves global memory alone (it still
// releases a stream), so the object frees that memory itself.
class CMediumWatch final : public IUnknown
{
public:
    CMediumWatch(LONG* pnOutstanding, const STGMEDIUM& medium) : m_pnOutstanding(pnOutstanding), m_medium(medium)
    {
        InterlockedIncrement(m_pnOutstanding);
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        *ppv = NULL;
        if (!IsEqualIID(riid, IID_IUnknown))
            return E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_nRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG n = InterlockedDecrement(&m_nRef);
        if (n == 0) {
            if (m_medium.tymed == TYMED_HGLOBAL && m_medium.hGlobal != NULL)
                GlobalFree(m_medium.hGlobal);
            InterlockedDecrement(m_pnOutstanding);
            delete this;
        }
        return n;
    }

private:
    LONG m_nRef = 1;
    LONG* m_pnOutstanding;
    STGMEDIUM m_medium;
};

} // namespace

CDropDataObject* CDropDataObject::Create(const std::vector<std::string>& files, DROP_BEHAVIOUR behaviour, bool bWide)
{
    CDropDataObject* p = new CDropDataObject;
    p->m_files = files;
    p->m_behaviour = behaviour;
    p->m_bWide = bWide;
    for (const std::string& file : files)
        p->m_wideFiles.push_back(std::wstring(file.begin(), file.end()));
    return p;
}

CDropDataObject* CDropDataObject::CreateWide(const std::vector<std::wstring>& files)
{
    CDropDataObject* p = new CDropDataObject;
    p->m_wideFiles = files;
    p->m_bWide = true;
    return p;
}

STDMETHODIMP CDropDataObject::QueryInterface(REFIID riid, void** ppv)
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

STDMETHODIMP_(ULONG) CDropDataObject::AddRef()
{
    return InterlockedIncrement(&m_nRef);
}

STDMETHODIMP_(ULONG) CDropDataObject::Release()
{
    LONG n = InterlockedDecrement(&m_nRef);
    if (n == 0)
        delete this;
    return n;
}

HGLOBAL CDropDataObject::MakeDropFiles() const
{
    // DROPFILES, then each name with its terminator, then one more terminator.
    std::size_t cbNames = 0;
    if (m_bWide) {
        for (const std::wstring& file : m_wideFiles)
            cbNames += (file.size() + 1) * sizeof(WCHAR);
        cbNames += sizeof(WCHAR);
    } else {
        for (const std::string& file : m_files)
            cbNames += file.size() + 1;
        cbNames += 1;
    }
    HGLOBAL hGlobal = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + cbNames);
    BYTE* p = static_cast<BYTE*>(GlobalLock(hGlobal));
    DROPFILES* pDrop = reinterpret_cast<DROPFILES*>(p);
    pDrop->pFiles = sizeof(DROPFILES);
    pDrop->fWide = m_bWide;
    BYTE* pNames = p + sizeof(DROPFILES);
    if (m_bWide) {
        for (const std::wstring& file : m_wideFiles) {
            std::memcpy(pNames, file.c_str(), (file.size() + 1) * sizeof(WCHAR));
            pNames += (file.size() + 1) * sizeof(WCHAR);
        }
    } else {
        for (const std::string& file : m_files) {
            std::memcpy(pNames, file.c_str(), file.size() + 1);
            pNames += file.size() + 1;
        }
    }
    GlobalUnlock(hGlobal);
    return hGlobal;
}

STDMETHODIMP CDropDataObject::GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium)
{
    ++m_nGetDataCalls;
    if (pformatetcIn != NULL)
        m_lastFormat = *pformatetcIn;
    if (pformatetcIn == NULL || pmedium == NULL)
        return E_INVALIDARG;
    if (m_behaviour == DROP_GETDATA_FAILS || pformatetcIn->cfFormat != CF_HDROP)
        return DV_E_FORMATETC;

    std::memset(pmedium, 0, sizeof(*pmedium));
    switch (m_behaviour) {
    case DROP_OTHER_MEDIUM:
        pmedium->tymed = TYMED_ISTREAM;
        CreateStreamOnHGlobal(NULL, TRUE, &pmedium->pstm);
        break;
    case DROP_NULL_HGLOBAL:
        pmedium->tymed = TYMED_HGLOBAL;
        pmedium->hGlobal = NULL;
        break;
    default:
        pmedium->tymed = TYMED_HGLOBAL;
        pmedium->hGlobal = MakeDropFiles();
        break;
    }
    pmedium->pUnkForRelease = new CMediumWatch(&m_nOutstanding, *pmedium);
    return S_OK;
}
