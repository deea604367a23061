#pragma once
// Registering the type library the module carries (resource "TYPELIB" 1), or
// the ".tlb" file of the same name beside it.

#include <windows.h>

HRESULT RegisterTypeLibrary();
// Best effort: nothing of it reaches the caller.
void UnregisterTypeLibrary();
