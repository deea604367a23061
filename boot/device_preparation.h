#pragma once
// The step both forms of the boot request share once the settings file is
// known: the boot library prepares the device from it, then the download
// address is read from the same file.

#include "path_buffer.h"

#include <windows.h>

// False when the library reports the device unusable: the not-connected
// message is shown (owned by hwndOwner, which may be NULL) and the address is
// neither read nor stored.
bool PrepareDevice(PATHBUFFER& szSettingsPath, HWND hwndOwner, DWORD* pdwDownloadAddress);
