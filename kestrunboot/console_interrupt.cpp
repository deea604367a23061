#include "console_interrupt.h"

#include "exit_codes.h"

namespace {

enum BOOT_PHASE
{
    PHASE_PREPARING,
    PHASE_TRANSFER,
    PHASE_DONE,
};

// Exclusive ownership of an SRW lock for one scope.
class CExclusiveLock
{
public:
    explicit CExclusiveLock(SRWLOCK* pLock) : m_pLock(pLock) { AcquireSRWLockExclusive(m_pLock); }
    ~CExclusiveLock() { ReleaseSRWLockExclusive(m_pLock); }
    CExclusiveLock(const CExclusiveLock&) = delete;
    CExclusiveLock& operator=(const CExclusiveLock&) = delete;

private:
    SRWLOCK* m_pLock;
};

// The handler runs on a thread of its own: the phase changes under the lock,
// so the program can never end in the middle of starting a transfer.
SRWLOCK g_lock = SRWLOCK_INIT;
BOOT_PHASE g_phase = PHASE_PREPARING;
const COutputStream* g_pErrors = NULL;

BOOT_PHASE Phase()
{
    CExclusiveLock lock(&g_lock);
    return g_phase;
}

const char* EventName(DWORD dwEvent)
{
    switch (dwEvent) {
    case CTRL_C_EVENT:
        return "Ctrl+C";
    case CTRL_BREAK_EVENT:
        return "Ctrl+Break";
    default:
        return "the console closing";
    }
}

BOOL WINAPI OnConsoleEvent(DWORD dwEvent)
{
    {
        CExclusiveLock lock(&g_lock);
        if (g_phase == PHASE_DONE)
            return TRUE;
        if (g_phase == PHASE_PREPARING) {
            CLine(*g_pErrors).Text("KestrunBoot: interrupted by ").Text(EventName(dwEvent))
                .Text("; nothing was sent to the device.");
            ExitProcess(EXIT_INTERRUPTED);
        }
        CLine(*g_pErrors).Text("KestrunBoot: ").Text(EventName(dwEvent))
            .Text(" refused: the transfer cannot be cut safely. KestrunBoot ends when the boot library returns.");
    }
    // The system ends a process whose console goes away once this returns.
    if (dwEvent != CTRL_C_EVENT && dwEvent != CTRL_BREAK_EVENT) {
        while (Phase() == PHASE_TRANSFER)
            Sleep(50);
    }
    return TRUE;
}

void SetPhase(BOOT_PHASE phase)
{
    CExclusiveLock lock(&g_lock);
    g_phase = phase;
}

} // namespace

bool InstallInterruptHandler(const COutputStream* pErrors)
{
    g_pErrors = pErrors;
    return SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != FALSE;
}

void BeginTransfer()
{
    SetPhase(PHASE_TRANSFER);
}

void EndTransfer()
{
    SetPhase(PHASE_DONE);
}
