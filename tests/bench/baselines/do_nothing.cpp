// A do-nothing GUI program linked like Kestrun.exe: the same runtime start-up
// and exit, none of the launcher's work and none of its imports beyond what
// the runtime itself binds (kernel32, msvcrt).

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
