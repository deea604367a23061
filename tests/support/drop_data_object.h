#pragma once
// A hand-made data object as Explorer hands a context-menu handler: the
// selected files as CF_HDROP in global memory. Its failures can be chosen.

#include "data_object_base.h"

#include <string>
#include <vector>

enum DROP_BEHAVIOUR
{
    DROP_FILES,              // CF_HDROP with the files given
    DROP_GETDATA_FAILS,      // GetData returns DV_E_FORMATETC
    DROP_OTHER_MEDIUM,       // answers with a stream medium instead of global memory
    DROP_NULL_HGLOBAL,       // answers TYMED_HGLOBAL with no memory
    DROP_RAW,                // CF_HDROP memory holding exactly the bytes given (CreateRaw)
};

class CDropDataObject final : public CDataObjectBase
{
public:
    // Files as ANSI text (bWide false) or UTF-16 from the same bytes widened.
    static CDropDataObject* Create(const std::vector<std::string>& files, DROP_BEHAVIOUR behaviour = DROP_FILES,
                                   bool bWide = false);
    static CDropDataObject* CreateWide(const std::vector<std::wstring>& files);
    // A crafted block: whatever a hostile host puts in the medium.
    static CDropDataObject* CreateRaw(const std::string& bytes);

    STDMETHODIMP GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) override;

    // GetData calls so far, and how many of the media handed out are still
    // unreleased (each medium's release is observed).
    int GetDataCalls() const { return m_nGetDataCalls; }
    LONG MediaOutstanding() const { return m_nOutstanding; }
    // The format record of the last GetData.
    FORMATETC LastFormat() const { return m_lastFormat; }

private:
    CDropDataObject() = default;

    DROP_BEHAVIOUR m_behaviour = DROP_FILES;
    std::vector<std::string> m_files;
    std::vector<std::wstring> m_wideFiles;
    std::string m_raw;
    bool m_bWide = false;
    int m_nGetDataCalls = 0;
    LONG m_nOutstanding = 0;
    FORMATETC m_lastFormat = {};
};
