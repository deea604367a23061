#pragma once
// Writing and removing the class's registry keys through the platform's
// registrar component and the script resource the library carries.

#include <windows.h>

enum { IDR_QUORVEX_KESTRUN = 101 };   // "REGISTRY" resource: the script

// Runs the script resource nResID of the module with the replacement
// "Module" set to the module's short path (apostrophes doubled, as the
// script's quoting needs).
HRESULT UpdateRegistryFromResource(UINT nResID, BOOL bRegister);

// Copies pszText into pszTarget with every apostrophe doubled; false when it
// would not fit cchTarget characters with the terminator.
bool DoubleApostrophes(LPCWSTR pszText, LPWSTR pszTarget, size_t cchTarget);
