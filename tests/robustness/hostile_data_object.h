#pragma once
// A data object that answers the handler's request for the selection in the
// ways a careless or hostile host might: failing, offering only other
// formats, handing out another kind of medium, or scribbling over the medium
// before it fails. Every medium it hands out reports its own release.

#include "data_object_base.h"

enum HOSTILE_ANSWER
{
    ANSWER_FAILS,                // GetData returns the chosen failure
    ANSWER_SCRIBBLES_AND_FAILS,  // fills the medium with junk, then fails
    ANSWER_ONLY_TEXT,            // offers CF_TEXT only: CF_HDROP is refused
    ANSWER_STREAM,               // succeeds with a stream medium
    ANSWER_FILE,                 // succeeds with a file medium
    ANSWER_NOTHING,              // succeeds with TYMED_NULL
};

class CHostileDataObject final : public CDataObjectBase
{
public:
    CHostileDataObject(HOSTILE_ANSWER answer, HRESULT hrFailure = E_FAIL);

    STDMETHODIMP GetData(FORMATETC* pFormat, STGMEDIUM* pMedium) override;

    // Media handed out and not yet released; references held by others.
    LONG MediaOutstanding() const { return m_nOutstanding; }
    LONG References() const { return m_nRef; }

private:
    HOSTILE_ANSWER m_answer;
    HRESULT m_hrFailure;
    LONG m_nOutstanding = 0;
};

// Neither null nor anything that could be dereferenced: touching it faults.
void* const DANGLING = reinterpret_cast<void*>(~static_cast<ULONG_PTR>(0xF));
