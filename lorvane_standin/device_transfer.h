#pragma once
// The simulated transfer: the image's bytes arrive in the device folder as
// boot-<pid>-<n>.bin, at the configured rate, and a finished transfer adds a
// line to the folder's device.log:
//
//   boot-<pid>-<n>.bin  address=0x........  bytes=<n>  image=<path>

#include "standin_settings.h"

enum TRANSFER_RESULT
{
    TRANSFER_OK = 0,
    TRANSFER_NOT_PREPARED = 1,
    TRANSFER_IMAGE_UNREADABLE = 2,
    TRANSFER_DEVICE_GONE = 3,
};

TRANSFER_RESULT TransferImage(const STANDIN_SETTINGS& settings, LPCSTR pszImagePath, DWORD dwDownloadAddress);
