// Kestrun.exe: boots the device from the image file the shell hands over.
// The exit code is S_OK when the device was booted, E_INVALIDARG otherwise.

#include "ansi_name.h"
#include "boot_message.h"
#include "command_line.h"
#include "launcher_module.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // lpCmdLine has been through the ANSI code page, which turns a character
    // it lacks into a look-alike or "?": the UTF-16 line holds the true name.
    WIDEPATHBUFFER szImagePath;
    if (!ImagePathFromCommandLine(ArgumentsOfCommandLine(GetCommandLineW()), szImagePath))
        return E_INVALIDARG;

    if (!_Module.IsBootImageName(szImagePath))
        return E_INVALIDARG;

    PATHBUFFER szLibraryPath;
    if (!AnsiNameForBootLibrary(szImagePath, szLibraryPath)) {
        ShowBootMessage(NULL, MESSAGE_NAME_NOT_PASSABLE);
        return E_INVALIDARG;
    }
    return _Module.RunBootRequest(szLibraryPath) ? S_OK : E_INVALIDARG;
}
