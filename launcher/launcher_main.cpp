// Kestrun.exe: boots the device from the image file the shell hands over.
// The exit code is S_OK when the device was booted, E_INVALIDARG otherwise.

#include "command_line.h"
#include "launcher_module.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    PATHBUFFER szImagePath;
    if (!ImagePathFromCommandLine(lpCmdLine, szImagePath))
        return E_INVALIDARG;

    if (!_Module.IsBootImageName(szImagePath))
        return E_INVALIDARG;

    return _Module.RunBootRequest(szImagePath) ? S_OK : E_INVALIDARG;
}
