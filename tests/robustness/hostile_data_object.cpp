#include "hostile_data_object.h"

#include <cstring>

CHostileDataObject::CHostileDataObject(HOSTILE_ANSWER answer, HRESULT hrFailure)
    : m_answer(answer), m_hrFailure(hrFailure)
{
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
    pMedium->pUnkForRelease = new CMediumWatch(&m_nOutstanding, *pMedium);
    return S_OK;
}
