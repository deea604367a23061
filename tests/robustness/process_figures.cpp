#include "process_figures.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <vector>

namespace {

// The system's handle table, as its legacy class reports it.
struct HANDLE_ROW
{
    ULONG dwProcessId;
    BYTE bObjectType;
    BYTE bFlags;
    USHORT wValue;
    PVOID pObject;
    ACCESS_MASK dwAccess;
};

struct HANDLE_TABLE
{
    ULONG nCount;
    HANDLE_ROW rows[1];
};

const SYSTEM_INFORMATION_CLASS SYSTEM_HANDLE_INFORMATION_CLASS = static_cast<SYSTEM_INFORMATION_CLASS>(16);
const NTSTATUS STATUS_LENGTH_MISMATCH = static_cast<NTSTATUS>(0xC0000004);

// Some platforms (Wine among them) answer 0 for the handle count of a
// process; every live process holds handles, so 0 means "not reported", and
// the system's handle table is counted instead.
DWORD HandleCountFromSystemTable()
{
    // Kept between calls: a table that comes and goes would show in the
    // memory figures taken next to it.
    static std::vector<BYTE> buffer(256 * 1024);
    for (;;) {
        ULONG cbNeeded = 0;
        NTSTATUS status = NtQuerySystemInformation(SYSTEM_HANDLE_INFORMATION_CLASS, buffer.data(),
                                                   static_cast<ULONG>(buffer.size()), &cbNeeded);
        if (status == STATUS_LENGTH_MISMATCH) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0)
            return 0;
        break;
    }
    const HANDLE_TABLE* pTable = reinterpret_cast<const HANDLE_TABLE*>(buffer.data());
    const DWORD dwProcessId = GetCurrentProcessId();
    DWORD nHandles = 0;
    for (ULONG i = 0; i < pTable->nCount; ++i) {
        if (pTable->rows[i].dwProcessId == dwProcessId)
            ++nHandles;
    }
    return nHandles;
}

DWORD HandleCount()
{
    DWORD nHandles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &nHandles) && nHandles != 0)
        return nHandles;
    return HandleCountFromSystemTable();
}

// PrivateUsage where the platform reports it; otherwise the commit charge
// (PagefileUsage), which is the same quantity on Windows and Wine's count of
// the process's anonymous memory.
ULONGLONG PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters)))
        return 0;
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

// Blocks in use on the heap malloc takes from: exact, where page-granular
// memory figures are not.
void CountCrtBlocks(PROCESS_FIGURES& figures)
{
    figures.nCrtBlocks = 0;
    figures.cbCrtBlocks = 0;
    HANDLE hHeap = reinterpret_cast<HANDLE>(_get_heap_handle());
    if (hHeap == NULL || !HeapLock(hHeap))
        return;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(hHeap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
            ++figures.nCrtBlocks;
            figures.cbCrtBlocks += entry.cbData;
        }
    }
    HeapUnlock(hHeap);
}

std::string Signed(LONGLONG n)
{
    return (n > 0 ? "+" : "") + std::to_string(n);
}

std::string StartOf(DWORD dwThreadId)
{
    HANDLE hThread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, dwThreadId);
    if (hThread == NULL)
        return "?";
    PVOID pvStart = NULL;
    const THREADINFOCLASS START_ADDRESS_CLASS = static_cast<THREADINFOCLASS>(9);
    NTSTATUS status = NtQueryInformationThread(hThread, START_ADDRESS_CLASS, &pvStart, sizeof(pvStart), NULL);
    CloseHandle(hThread);
    if (status != 0)
        return "?";
    HMODULE hModule = NULL;
    char szModule[MAX_PATH] = "?";
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCSTR>(pvStart), &hModule))
        GetModuleBaseNameA(GetCurrentProcess(), hModule, szModule, sizeof(szModule));
    char szText[MAX_PATH + 32];
    std::snprintf(szText, sizeof(szText), "%s+0x%llx", szModule,
                  static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(pvStart) -
                                                  reinterpret_cast<ULONG_PTR>(hModule)));
    return szText;
}

// Calls visit(id) for each thread of this process; allocates nothing, so
// counting threads moves none of the memory figures taken beside it.
template <typename VISIT>
void ForEachThread(VISIT visit)
{
    HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
        return;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL bMore = Thread32First(hSnapshot, &entry); bMore; bMore = Thread32Next(hSnapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            visit(entry.th32ThreadID);
    }
    CloseHandle(hSnapshot);
}

} // namespace

DWORD ThreadCount()
{
    DWORD nThreads = 0;
    ForEachThread([&](DWORD) { ++nThreads; });
    return nThreads;
}

std::string DescribeThreads()
{
    std::string text;
    ForEachThread([&](DWORD dwThreadId) { text += " " + std::to_string(dwThreadId) + ":" + StartOf(dwThreadId); });
    return text;
}

PROCESS_FIGURES TakeFigures()
{
    PROCESS_FIGURES figures;
    figures.cbPrivate = PrivateBytes();
    figures.nHandles = HandleCount();
    figures.nThreads = ThreadCount();
    CountCrtBlocks(figures);
    return figures;
}

bool IsFullSize()
{
    char szValue[8] = {};
    DWORD cch = GetEnvironmentVariableA("KESTRUN_FULL", szValue, sizeof(szValue));
    return cch == 1 && szValue[0] == '1';
}

unsigned LoopSize(unsigned nQuick, unsigned nFull)
{
    return IsFullSize() ? nFull : nQuick;
}

void PrintFigure(const std::string& name, const std::string& text)
{
    std::printf("FIGURE %s %s\n", name.c_str(), text.c_str());
    std::fflush(stdout);
}

CLeakCheck::CLeakCheck(const char* pszName, ULONGLONG cbTolerance, DWORD nHandleTolerance)
    : m_name(pszName), m_cbTolerance(cbTolerance), m_nHandleTolerance(nHandleTolerance), m_before(), m_dwStart(0),
      m_nWarmUp(0)
{
}

bool CLeakCheck::StartWhenSteady(const std::function<bool()>& run, unsigned nBatch, unsigned nMaxBatches)
{
    TakeFigures();
    for (unsigned nBatches = 0; nBatches < nMaxBatches; ++nBatches) {
        const ULONGLONG cbBefore = TakeFigures().cbPrivate;
        for (unsigned i = 0; i < nBatch; ++i) {
            if (!run())
                return false;
        }
        m_nWarmUp += nBatch;
        if (TakeFigures().cbPrivate <= cbBefore)
            break;
    }
    Start();
    return true;
}

void CLeakCheck::Start()
{
    // The first figures of a process set up what taking figures needs.
    TakeFigures();
    m_before = TakeFigures();
    m_dwStart = GetTickCount();
}

void CLeakCheck::Finish(unsigned nCycles)
{
    const DWORD dwElapsed = GetTickCount() - m_dwStart;
    const PROCESS_FIGURES after = TakeFigures();
    const LONGLONG cbGrowth = static_cast<LONGLONG>(after.cbPrivate) - static_cast<LONGLONG>(m_before.cbPrivate);
    const LONGLONG nHandleGrowth = static_cast<LONGLONG>(after.nHandles) - m_before.nHandles;
    const LONGLONG nThreadGrowth = static_cast<LONGLONG>(after.nThreads) - m_before.nThreads;
    const LONGLONG nBlockGrowth = static_cast<LONGLONG>(after.nCrtBlocks) - m_before.nCrtBlocks;
    PrintFigure(m_name, "cycles=" + std::to_string(nCycles) + " warmup=" + std::to_string(m_nWarmUp) +
                            " ms=" + std::to_string(dwElapsed) +
                            " private_before=" + std::to_string(m_before.cbPrivate) +
                            " private_after=" + std::to_string(after.cbPrivate) +
                            " private_growth=" + Signed(cbGrowth) +
                            " private_tolerance=" + std::to_string(m_cbTolerance) +
                            " handles_before=" + std::to_string(m_before.nHandles) +
                            " handles_after=" + std::to_string(after.nHandles) +
                            " threads_before=" + std::to_string(m_before.nThreads) +
                            " threads_after=" + std::to_string(after.nThreads) +
                            " crt_blocks_before=" + std::to_string(m_before.nCrtBlocks) +
                            " crt_blocks_after=" + std::to_string(after.nCrtBlocks) +
                            " crt_bytes_growth=" + Signed(static_cast<LONGLONG>(after.cbCrtBlocks) -
                                                          static_cast<LONGLONG>(m_before.cbCrtBlocks)));
    EXPECT_NE(0u, m_before.cbPrivate) << "no memory figure on this platform";
    EXPECT_NE(0u, m_before.nHandles) << "no handle figure on this platform";
    EXPECT_NE(0u, m_before.nCrtBlocks) << "the C runtime's heap could not be walked";
    EXPECT_LE(cbGrowth, static_cast<LONGLONG>(m_cbTolerance)) << m_name << ": private bytes grew";
    EXPECT_LE(nHandleGrowth, static_cast<LONGLONG>(m_nHandleTolerance)) << m_name << ": handles grew";
    EXPECT_LE(nThreadGrowth, 0) << m_name << ": threads outlived the loop";
    EXPECT_LE(nBlockGrowth, static_cast<LONGLONG>(CRT_BLOCK_TOLERANCE)) << m_name << ": heap blocks were left behind";
}
