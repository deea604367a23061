// Kestrun_Tool.dll's entry.

#include "module_lifetime.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        AttachModule(hInstance);
        // No thread attach or detach calls: nothing here needs them.
        DisableThreadLibraryCalls(hInstance);
    } else if (dwReason == DLL_PROCESS_DETACH) {
        DetachModule();
    }
    return TRUE;
}
