#include "hostile_data_object.h"

#include <cstring>

namespace {

// The release object of one medium: counts the release. With a release
// object ReleaseStgMedium still releases a stream and frees a file name;
// global memory is left to the object.
class CReleaseWatch final : public IUnknown
{
public:
    CReleaseWatch(LONG* pnOutstanding, const STGMEDIUM& medium) : m_pnOutstanding(pnOutstanding), m_medium(medium)
    {
        InterlockedIncrement(m_pnOutstanding);
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        *ppv = IsEqualIID(riid, IID_IUnknown) ? this : NULL;
        if (*ppv == NULL)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_nRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG n = InterlockedDecrement(&m_nRef);
        if (n == 0) {
            if (m_medium.tymed == TYMED_HGLOBAL)
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

CHostileDataObject::CHostileDataObject(HOSTILE_ANSWER answer, HRESULT hrFailure)
    : m_answer(answer), m_hrFailure(hrFailure)
{
}

STDMETHODIMP CHostileDataObject::QueryInterface(REFIID riid, void** ppv)
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

STDMETHODIMP_(ULONG) CHostileDataObject::AddRef()
{
    return InterlockedIncrement(&m_nRef);
}

STDMETHODIMP_(ULONG) CHostileDataObject::Release()
{
    LONG n = InterlockedDecrement(&m_nRef);
    if (n == 0)
        delete this;
    return n;
}

STDMETHODIMP CHostileDataObject::GetData(FORMATETC* pFormat, STGMEDIUM* pMedium)
{
    if (pFormat == NULL || pMedium == NULL)
        return E_INVALIDARG;
    switch (m_answer) {
    case ANSWER_FAILS:
        return m_hrFailure;
    case ANSWER_SCRIBBLES_AND_FAILS:
        // Whoever releases or locks this medium crashes.
        pMedium->tymed = TYMED_HGLOBAL;
        pMedium->hGlobal = static_cast<HGLOBAL>(DANGLING);
        pMedium->pUnkForRelease = static_cast<IUnknown*>(DANGLING);
        return m_hrFailure;
    case ANSWER_ONLY_TEXT:
        return pFormat->cfFormat == CF_TEXT ? E_NOTIMPL : DV_E_FORMATETC;
    default:
        break;
    }

    std::memset(pMedium, 0, sizeof(*pMedium));
    if (m_answer == ANSWER_STREAM) {
        pMedium->tymed = TYMED_ISTREAM;
        if (FAILED(CreateStreamOnHGlobal(NULL, TRUE, &pMedium->pstm)))
            return E_OUTOFMEMORY;
    } else if (m_answer == ANSWER_FILE) {
        static const WCHAR NAME[] = L"C:\\img\\boot.bin";
        pMedium->tymed = TYMED_FILE;
        pMedium->lpszFileName = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof(NAME)));
        std::memcpy(pMedium->lpszFileName, NAME, sizeof(NAME));
    } else {
        pMedium->tymed = TYMED_NULL;
    }
    pMedium->pUnkForRelease = new CReleaseWatch(&m_nOutstanding, *pMedium);
    return S_OK;
}
