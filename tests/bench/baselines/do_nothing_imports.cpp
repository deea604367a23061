// A do-nothing GUI program bound to the same DLLs as Kestrun.exe: besides the
// runtime's kernel32 and msvcrt, user32, advapi32 and Lorvane.dll with both
// of its functions. It reads the address of each function the launcher's own
// code imports and calls none of them, so the loader does all the binding
// work of the launcher's start and nothing else runs.
//
// Also built with user32, or user32 and advapi32, delay-loaded: their
// addresses are then those of load-on-first-call stubs, and the libraries
// are never loaded.

#include "lorvane.h"

#include <windows.h>

namespace {

const void* volatile g_pImport;

template <typename FUNCTION>
void Touch(FUNCTION* pfn)
{
    g_pImport = reinterpret_cast<const void*>(pfn);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Touch(&MessageBoxA);
    Touch(&RegOpenKeyExA);
    Touch(&RegQueryValueExA);
    Touch(&RegCloseKey);
    Touch(&GetPrivateProfileIntA);
    Touch(&Load_IniFile);
    Touch(&Kestrun);
    return 0;
}
