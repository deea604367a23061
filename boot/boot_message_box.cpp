#include "boot_message.h"

// Apart from the texts, so a program that only writes them links no user32.
void ShowBootMessage(HWND hwndOwner, LPCSTR pszText)
{
    MessageBoxA(hwndOwner, pszText, BOOT_MESSAGE_CAPTION, MB_ICONWARNING);
}
