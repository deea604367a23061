#pragma once
// The warning boxes through which a boot request reports its failures.

#include <windows.h>

extern const char BOOT_MESSAGE_CAPTION[];       // "Quorvex Kestrun Tool"
extern const char MESSAGE_NOT_CONNECTED[];      // Load_IniFile failed
extern const char MESSAGE_KESTRUN_ERROR[];      // the transfer failed
extern const char MESSAGE_READ_INFO_ERROR[];    // the tool's registration is unusable
extern const char MESSAGE_NAME_NOT_PASSABLE[];  // the file's name has no exact ANSI form

// A warning box with a single OK button; hwndOwner may be NULL.
void ShowBootMessage(HWND hwndOwner, LPCSTR pszText);
