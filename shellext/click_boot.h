#pragma once
// What choosing the menu item starts. The 32-bit library runs the boot
// request itself (its worker-thread form); the 64-bit one, whose process
// cannot load the 32-bit boot library, hands the file to the launcher. Each
// library links exactly one definition: click_boot_worker.cpp or
// click_boot_hand_off.cpp.

#include <windows.h>

// pszImagePath is the ANSI path for the boot library, pwszImagePath the
// file's true name; the download address is stored when it is read.
HRESULT StartClickBoot(LPCSTR pszImagePath, LPCWSTR pwszImagePath, HWND hwndOwner, DWORD* pdwDownloadAddress);
