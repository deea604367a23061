#pragma once
// What tests look at from outside a COM object and its registration.

#include <windows.h>
#include <unknwn.h>

#include <string>

// The references the object holds now, as AddRef and Release report them.
inline ULONG References(IUnknown* p)
{
    p->AddRef();
    return p->Release();
}

// Whether HKEY_CLASSES_ROOT\key exists and can be read.
inline bool KeyExists(const std::string& key)
{
    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}
