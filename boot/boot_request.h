#pragma once
// A boot request: find the settings file through the launcher's registration,
// let the boot library prepare itself from it, read the download address and
// have the library boot the device from the image. The forms here are the
// launcher's and the extensions': each runs the steps (boot_steps.h) and
// reports their failures in warning boxes (boot_message.h).

#include <windows.h>

// Synchronous form (the launcher): runs the transfer on the calling thread and
// waits for it. Stores the download address once read. TRUE when the device
// was booted.
BOOL RunBootRequest(LPCSTR pszImagePath, DWORD* pdwDownloadAddress);

// Worker-thread form (the extension): prepares on the calling thread, then
// hands the transfer to a boot worker and returns without waiting.
//   S_OK           the worker was started
//   E_INVALIDARG   the tool's registration or the device is unusable
//   E_OUTOFMEMORY  no job block could be allocated; nothing was started
//   E_FAIL         the worker could not be started (reported to the user)
// The not-connected message is owned by hwndOwner; every other has no owner.
// The download address is stored before the worker starts.
HRESULT StartBootRequest(LPCSTR pszImagePath, HWND hwndOwner, DWORD* pdwDownloadAddress);

// Hand-off form (the 64-bit extension, whose process cannot load the 32-bit
// boot library): starts the launcher's registered open command for the
// file's true path, as the shell opens a file, and returns without waiting;
// the launcher runs the synchronous form and shows its own messages.
//   S_OK           the launcher was started
//   E_INVALIDARG   no usable registration (none, no "%1", or a program that
//                  is not an absolute path to Kestrun.exe): "Read Info
//                  Error!" without owner
//   other failure  the launcher could not be started: "Quorvex Kestrun
//                  Error!" without owner
HRESULT HandOffBootRequest(LPCWSTR pszImagePath);
