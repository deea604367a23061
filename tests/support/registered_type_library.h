#pragma once
// The type library the extension carries, registered and unregistered by a
// test in the prefix's real registry. Only for tests built with the
// extension's generated identifiers (Kestrun_Tool_i.h).

#include "Kestrun_Tool_i.h"
#include "text_file.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>

class CTypeLibraryRegistration
{
public:
    CTypeLibraryRegistration() { Unregister(); }
    ~CTypeLibraryRegistration() { Unregister(); }
    CTypeLibraryRegistration(const CTypeLibraryRegistration&) = delete;
    CTypeLibraryRegistration& operator=(const CTypeLibraryRegistration&) = delete;

    // Registers the library's TYPELIB resource from the built Kestrun_Tool.dll.
    void Register()
    {
        const std::string path = ProgramDirectory() + "Kestrun_Tool.dll";
        std::wstring widePath(path.begin(), path.end());
        ITypeLib* pTypeLib = NULL;
        ASSERT_EQ(S_OK, LoadTypeLib(widePath.c_str(), &pTypeLib));
        ASSERT_EQ(S_OK, RegisterTypeLib(pTypeLib, &widePath[0], NULL));
        pTypeLib->Release();
    }

    void Unregister()
    {
        for (SYSKIND kind : {SYS_WIN32, SYS_WIN64})
            UnRegisterTypeLib(LIBID_KESTRUN_TOOLLib, 1, 0, 0, kind);
    }
};
