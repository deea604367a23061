#pragma once
// KestrunBoot's exit codes, one per kind of outcome (listed by --help).

enum BOOT_EXIT_CODE
{
    EXIT_BOOTED = 0,
    EXIT_USAGE = 2,              // unknown option, missing or extra argument, a bad address or number
    EXIT_NOT_AN_IMAGE = 3,       // not a boot image, or a name the boot library cannot be given
    EXIT_NO_SETTINGS = 4,        // no usable registration or settings file
    EXIT_NOT_CONNECTED = 5,      // Load_IniFile failed, after the wait if one was asked for
    EXIT_TRANSFER_FAILED = 6,    // Kestrun failed
    EXIT_NO_BOOT_LIBRARY = 7,    // Lorvane.dll could not be loaded from the program's folder
    EXIT_INTERRUPTED = 130,      // Ctrl+C before the transfer
};
