#pragma once
// The console program's options:
//
//   KestrunBoot [--settings FILE] [--address ADDRESS] [--wait-device SECONDS] IMAGE
//
// in any order, options after the image too; "--" ends the options, so an
// image whose name starts with "-" follows it; --help (or -h, /?) asks for
// the usage. Pure text logic: no Win32 calls.

#include "command_arguments.h"

#include <cstdint>

struct BOOT_OPTIONS
{
    const wchar_t* pszImage = nullptr;
    const wchar_t* pszSettings = nullptr;   // null: the registered tool folder's
    bool bAddressGiven = false;
    std::uint32_t nAddress = 0;             // overrides DnLoadAddr when given
    std::uint32_t nWaitSeconds = 0;         // 0: no waiting for the device
};

enum OPTIONS_RESULT
{
    OPTIONS_OK,
    OPTIONS_HELP,
    OPTIONS_UNKNOWN,          // an option not listed above
    OPTIONS_NO_VALUE,         // an option's value is missing
    OPTIONS_BAD_ADDRESS,      // not a 32-bit decimal or 0x number
    OPTIONS_BAD_SECONDS,      // not a 32-bit decimal number
    OPTIONS_REPEATED,         // an option given twice
    OPTIONS_NO_IMAGE,
    OPTIONS_EXTRA_ARGUMENT,   // a second image
    OPTIONS_TOO_LONG,         // the command line did not fit the storage
};

// Reads every argument. On failure *ppszArgument is the argument at fault
// (the option, or the value that is wrong), or null where there is none
// (no image, a line too long); the options are then incomplete.
OPTIONS_RESULT ParseBootOptions(CCommandArguments& arguments, BOOT_OPTIONS* pOptions, const wchar_t** ppszArgument);
