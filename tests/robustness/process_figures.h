#pragma once
// What a process holds, for the leak and balance checks: private bytes,
// kernel handles and threads. Figures are printed as "FIGURE <name> k=v ..."
// lines, which scripts/reliability.sh collects for docs/RELIABILITY.md.

#include <windows.h>

#include <functional>
#include <string>

struct PROCESS_FIGURES
{
    ULONGLONG cbPrivate;   // committed private memory
    DWORD nHandles;        // kernel handles
    DWORD nThreads;
    DWORD nCrtBlocks;      // blocks in use on the C runtime's heap (malloc)
    ULONGLONG cbCrtBlocks;
};

PROCESS_FIGURES TakeFigures();

// Threads of this process right now (toolhelp snapshot).
DWORD ThreadCount();

// The same threads as "id:module+offset" of where each began, for a failure
// message that names a thread which should have ended.
std::string DescribeThreads();

// True when KESTRUN_FULL=1: heavy loops run their full size.
bool IsFullSize();
unsigned LoopSize(unsigned nQuick, unsigned nFull);

// One line "FIGURE <name> <text>" on the standard output.
void PrintFigure(const std::string& name, const std::string& text);

// Compares the process before and after a loop, after a warm-up the caller
// runs first: private bytes may grow by at most cbTolerance (the platform's
// own caches and page granularity), handles by at most nHandleTolerance,
// threads not at all, and the C runtime's heap, which the extension
// allocates from, by at most CRT_BLOCK_TOLERANCE blocks whatever the loop's
// length.
class CLeakCheck
{
public:
    enum { CRT_BLOCK_TOLERANCE = 4 };

    CLeakCheck(const char* pszName, ULONGLONG cbTolerance, DWORD nHandleTolerance);
    // The baseline: call it after the warm-up.
    void Start();
    // Warms up first: runs batches of nBatch runs until a batch leaves the
    // private bytes where it found them (the platform sets some things up
    // lazily), at most nMaxBatches, then takes the baseline. False when a
    // run failed.
    bool StartWhenSteady(const std::function<bool()>& run, unsigned nBatch, unsigned nMaxBatches);
    unsigned WarmUpRuns() const { return m_nWarmUp; }
    // Prints the figures and checks them against the tolerances.
    void Finish(unsigned nCycles);

private:
    std::string m_name;
    ULONGLONG m_cbTolerance;
    DWORD m_nHandleTolerance;
    PROCESS_FIGURES m_before;
    DWORD m_dwStart;
    unsigned m_nWarmUp;
};
