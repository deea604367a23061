#include "drop_data_object.h"

#include <cstring>

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

CDropDataObject* CDropDataObject::CreateRaw(const std::string& bytes)
{
    CDropDataObject* p = new CDropDataObject;
    p->m_behaviour = DROP_RAW;
    p->m_raw = bytes;
    return p;
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
    case DROP_RAW:
        pmedium->tymed = TYMED_HGLOBAL;
        pmedium->hGlobal = GlobalAlloc(GMEM_MOVEABLE, m_raw.size());
        std::memcpy(GlobalLock(pmedium->hGlobal), m_raw.data(), m_raw.size());
        GlobalUnlock(pmedium->hGlobal);
        break;
    default:
        pmedium->tymed = TYMED_HGLOBAL;
        pmedium->hGlobal = m_bWide ? MakeDropFiles(m_wideFiles) : MakeDropFiles(m_files);
        break;
    }
    pmedium->pUnkForRelease = new CMediumWatch(&m_nOutstanding, *pmedium);
    return S_OK;
}
