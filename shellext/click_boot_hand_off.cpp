// The 64-bit library's click: the launcher, a 32-bit process, gets the file's
// true path and decides its ANSI form itself. No download address is read in
// this process.

#include "click_boot.h"

#include "boot_request.h"

HRESULT StartClickBoot(LPCSTR, LPCWSTR pwszImagePath, HWND, DWORD*)
{
    return HandOffBootRequest(pwszImagePath);
}
