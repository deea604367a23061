#pragma once
// How a boot request ended. The request itself shows nothing: the program
// that drives it reports the outcome its own way (the launcher and the
// extension in warning boxes, the console program in lines and its exit
// code).

enum BOOT_OUTCOME
{
    BOOT_BOOTED,                  // the device was booted
    BOOT_PREPARED,                // the device is ready and the address known (preparation only)
    BOOT_NO_COMMAND,              // the launcher's registration is missing, unreadable or empty
    BOOT_NO_TOOL_DIRECTORY,       // the registered command names no folder
    BOOT_SETTINGS_PATH_TOO_LONG,  // the tool folder leaves no room for the settings file's name
    BOOT_SETTINGS_REFUSED,        // the driving program refused the settings file
    BOOT_NOT_CONNECTED,           // Load_IniFile reported the device unusable
    BOOT_TRANSFER_FAILED,         // Kestrun reported a failure
};
