#pragma once
// The library's process-wide state: its instance, the classes it serves, the
// count of reasons to stay loaded, its locks and the clean-up actions to run
// when it leaves the process.

#include "object_map.h"

#include <windows.h>

// A clean-up action of the termination list; the argument is pointer-sized so
// that it can carry an address on every platform.
typedef void (WINAPI* TERMFUNC)(DWORD_PTR dw);

class CComModule
{
public:
    HINSTANCE m_hInst;
    HINSTANCE m_hInstTypeLib;
    OBJECT_MAP_ENTRY* m_pObjMap;

    void Init(OBJECT_MAP_ENTRY* pObjMap, HINSTANCE hInst);
    // Deletes the locks, then runs the termination list, newest entry first.
    void Term();

    LONG Lock() { return InterlockedIncrement(&m_nLockCnt); }
    LONG Unlock() { return InterlockedDecrement(&m_nLockCnt); }
    LONG GetLockCount() const { return m_nLockCnt; }

    CRITICAL_SECTION& StaticDataLock() { return m_csStaticData; }
    CRITICAL_SECTION& ObjectMapLock() { return m_csObjMap; }

    // S_OK, or E_OUTOFMEMORY with the list unchanged.
    HRESULT AddTermFunc(TERMFUNC pFunc, DWORD_PTR dw);
    // Entries waiting on the termination list.
    int GetTermFuncCount();

private:
    struct TERMFUNC_ENTRY
    {
        TERMFUNC pFunc;
        DWORD_PTR dw;
        TERMFUNC_ENTRY* pNext;
    };

    volatile LONG m_nLockCnt;
    CRITICAL_SECTION m_csStaticData;
    CRITICAL_SECTION m_csWindowCreate;   // kept for the module's shape; never entered
    CRITICAL_SECTION m_csObjMap;
    TERMFUNC_ENTRY* m_pTermFuncs;
};

extern CComModule _Module;
