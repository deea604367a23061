// The 32-bit library's click: the boot library runs in this process, the
// transfer on a worker thread.

#include "click_boot.h"

#include "boot_request.h"

HRESULT StartClickBoot(LPCSTR pszImagePath, LPCWSTR, HWND hwndOwner, DWORD* pdwDownloadAddress)
{
    return StartBootRequest(pszImagePath, hwndOwner, pdwDownloadAddress);
}
