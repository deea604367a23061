#include "boot_worker.h"

#include "boot_job.h"
#include "boot_message.h"
#include "fault_injection.h"
#include "imported_boot_library.h"

#include <process.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The module whose code the worker runs (the extension library in Explorer,
// or the program itself). Without GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT
// it gains a load reference: a host unloads the extension as soon as it
// answers that it may be unloaded, which it does while a transfer still runs,
// and the reference keeps the code mapped until the worker has left it.
HMODULE OwnModule(DWORD dwFlags)
{
    HMODULE hModule = NULL;
    LPCSTR pszAddress = reinterpret_cast<LPCSTR>(reinterpret_cast<std::uintptr_t>(&BootWorker));
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | dwFlags, pszAddress, &hModule))
        return NULL;
    return hModule;
}

BOOTJOB* AllocateBootJob()
{
    if (IsFaultInjected("job_alloc"))
        return NULL;
    return static_cast<BOOTJOB*>(std::calloc(1, sizeof(BOOTJOB)));
}

bool StartThread(BOOTJOB* pJob)
{
    if (IsFaultInjected("thread_start"))
        return false;
    std::uintptr_t hThread = _beginthreadex(NULL, 0, BootWorker, pJob, 0, NULL);
    if (hThread == 0)
        return false;
    // Nobody waits for the worker; it ends on its own.
    CloseHandle(reinterpret_cast<HANDLE>(hThread));
    return true;
}

} // namespace

HRESULT StartBootWorker(LPCSTR pszImagePath, DWORD dwDownloadAddress)
{
    BOOTJOB* pJob = AllocateBootJob();
    if (pJob == NULL)
        return E_OUTOFMEMORY;
    pJob->dwDownloadAddress = dwDownloadAddress;
    CopyPath(pJob->szImagePath, pszImagePath);

    // The reference taken here passes to the worker, which drops it last.
    HMODULE hModule = OwnModule(0);
    if (hModule != NULL && StartThread(pJob))
        return S_OK;

    if (hModule != NULL)
        FreeLibrary(hModule);
    std::free(pJob);
    ShowBootMessage(NULL, MESSAGE_KESTRUN_ERROR);
    return E_FAIL;
}

unsigned __stdcall BootWorker(void* pvJob)
{
    BOOTJOB* pJob = static_cast<BOOTJOB*>(pvJob);
    const DWORD dwDownloadAddress = pJob->dwDownloadAddress;
    PATHBUFFER szImagePath = {};
    std::memcpy(szImagePath, pJob->szImagePath, sizeof(szImagePath));
    szImagePath[PATH_BUFFER_SIZE - 1] = '\0';

    if (CImportedBootLibrary().Kestrun(szImagePath, dwDownloadAddress) != 0)
        ShowBootMessage(NULL, MESSAGE_KESTRUN_ERROR);

    std::free(pJob);

    // Drop the reference StartBootWorker took for us and end the thread
    // without returning into code that may be unmapped by then.
    FreeLibraryAndExitThread(OwnModule(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT), 0);
}
