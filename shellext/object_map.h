#pragma once
// The object map: the table of classes the library serves, ended by a row
// whose class ID pointer is null. This library has one row.

#include <windows.h>

// Creators: the class-factory creator takes the instance creator as its
// argument; the instance creator takes the outer object (or null).
typedef HRESULT (WINAPI CREATORFUNC)(void* pv, REFIID riid, void** ppv);

struct OBJECT_MAP_ENTRY
{
    const CLSID* pclsid;
    HRESULT (WINAPI* pfnUpdateRegistry)(BOOL bRegister);
    CREATORFUNC* pfnGetClassObject;
    CREATORFUNC* pfnCreateInstance;
    IUnknown* pCF;                                  // cached class factory
    DWORD dwRegister;                               // unused in process
    LPCSTR (WINAPI* pfnGetObjectDescription)();
    const void* (WINAPI* pfnGetCategoryMap)();
    void (WINAPI* pfnObjectMain)(bool bStarting);
};

// The map of Kestrun_Tool (object_map.cpp).
extern OBJECT_MAP_ENTRY ObjectMap[];
