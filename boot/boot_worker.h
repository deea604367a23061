#pragma once
// The thread that runs a transfer for the extension, so Explorer never waits
// for the device.

#include <windows.h>

// Makes a job block from the path and address and starts a BootWorker on it.
//   S_OK           started; the worker owns the job block
//   E_OUTOFMEMORY  no job block; nothing started, no message
//   E_FAIL         the thread could not be started: the job block is freed
//                  and "Quorvex Kestrun Error!" is shown without an owner
HRESULT StartBootWorker(LPCSTR pszImagePath, DWORD dwDownloadAddress);

// The worker's body: takes the job block (BOOTJOB) and owns it from then on.
unsigned __stdcall BootWorker(void* pvJob);
