// Figure 5: the class factory's fast path. Once the factory is cached, every
// right-click asks DllGetClassObject for it and releases it again; Explorer
// may do so from several threads at once. Kestrun_Tool.dll's exports against
// a model of the specified path compiled into this program (factory_model.h),
// on one thread and on eight at once; each sample is the wall time of a
// batch of DllGetClassObject + Release pairs, the same batch for both.
//
//   5a  one thread
//   5b  eight threads sharing the batch

#include "bench_harness.h"
#include "bench_inproc_server.h"
#include "factory_model.h"

#include "Kestrun_Tool_i.h"

#include <process.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int CALLS_PER_SAMPLE = 50000;
const int TEAM_SIZE = 8;

struct FACTORY_SOURCE
{
    LPFNGETCLASSOBJECT pfnGetClassObject;
    const CLSID* pclsid;
};

LONG g_nFailedCalls;

// nCalls requests of the cached factory, each released at once, as a host
// does before it creates a handler.
void AskAndRelease(const FACTORY_SOURCE& source, int nCalls)
{
    for (int i = 0; i < nCalls; ++i) {
        IClassFactory* pFactory = nullptr;
        if (FAILED(source.pfnGetClassObject(*source.pclsid, IID_IClassFactory, reinterpret_cast<void**>(&pFactory)))) {
            InterlockedIncrement(&g_nFailedCalls);
            return;
        }
        pFactory->Release();
    }
}

// Threads that wait for work, each started by its own event, so that a
// sample does not pay for thread starts.
class CThreadTeam
{
public:
    CThreadTeam() = default;
    ~CThreadTeam()
    {
        m_bQuit = true;
        for (MEMBER& member : m_members) {
            SetEvent(member.hGo);
            WaitForSingleObject(member.hThread, INFINITE);
            CloseHandle(member.hThread);
            CloseHandle(member.hGo);
        }
        if (m_hDone != NULL)
            CloseHandle(m_hDone);
    }
    CThreadTeam(const CThreadTeam&) = delete;
    CThreadTeam& operator=(const CThreadTeam&) = delete;

    bool Start(int nThreads)
    {
        m_hDone = CreateEventA(NULL, FALSE, FALSE, NULL);
        if (m_hDone == NULL)
            return false;
        m_members.resize(static_cast<std::size_t>(nThreads));
        for (MEMBER& member : m_members) {
            member.pTeam = this;
            member.hGo = CreateEventA(NULL, FALSE, FALSE, NULL);
            const std::uintptr_t hThread = _beginthreadex(NULL, 0, ThreadMain, &member, 0, NULL);
            member.hThread = reinterpret_cast<HANDLE>(hThread);
            if (member.hGo == NULL || hThread == 0)
                return false;
        }
        return true;
    }

    // Every member makes nCallsEach calls at once; the wall time from the
    // start to the end of the last.
    double Run(const FACTORY_SOURCE& source, int nCallsEach)
    {
        m_source = source;
        m_nCallsEach = nCallsEach;
        m_nRunning = static_cast<LONG>(m_members.size());
        CStopwatch stopwatch;
        for (MEMBER& member : m_members)
            SetEvent(member.hGo);
        WaitForSingleObject(m_hDone, INFINITE);
        return stopwatch.ElapsedMs();
    }

private:
    struct MEMBER
    {
        CThreadTeam* pTeam = nullptr;
        HANDLE hGo = NULL;
        HANDLE hThread = NULL;
    };

    static unsigned __stdcall ThreadMain(void* pv)
    {
        MEMBER* pMember = static_cast<MEMBER*>(pv);
        CThreadTeam* pTeam = pMember->pTeam;
        for (;;) {
            WaitForSingleObject(pMember->hGo, INFINITE);
            if (pTeam->m_bQuit)
                return 0;
            AskAndRelease(pTeam->m_source, pTeam->m_nCallsEach);
            if (InterlockedDecrement(&pTeam->m_nRunning) == 0)
                SetEvent(pTeam->m_hDone);
        }
    }

    std::vector<MEMBER> m_members;
    HANDLE m_hDone = NULL;
    FACTORY_SOURCE m_source = {};
    int m_nCallsEach = 0;
    volatile LONG m_nRunning = 0;
    volatile bool m_bQuit = false;
};

// A sample is good when every call succeeded and the module counts are back
// at rest: nothing holds either library.
bool AtRest(const CInprocServer& server)
{
    return g_nFailedCalls == 0 && server.CanUnloadNow() == S_OK && ModelLockCount() == 0;
}

BENCH_SERIES OneThreadSeries(const std::string& name, FACTORY_SOURCE source, const CInprocServer& server)
{
    BENCH_SERIES series;
    series.name = name;
    series.measure = [source, &server] {
        CStopwatch stopwatch;
        AskAndRelease(source, CALLS_PER_SAMPLE);
        const double dMs = stopwatch.ElapsedMs();
        return AtRest(server) ? dMs : -1.0;
    };
    return series;
}

BENCH_SERIES TeamSeries(const std::string& name, FACTORY_SOURCE source, const CInprocServer& server,
                        CThreadTeam& team)
{
    BENCH_SERIES series;
    series.name = name;
    series.measure = [source, &server, &team] {
        const double dMs = team.Run(source, CALLS_PER_SAMPLE / TEAM_SIZE);
        return AtRest(server) ? dMs : -1.0;
    };
    return series;
}

// The series' name with its median rate.
void NameRate(BENCH_SERIES& series)
{
    const double dMs = Summarise(series.samples).dMedian;
    char szRate[64];
    std::snprintf(szRate, sizeof(szRate), " (%.2f M calls/s)", dMs > 0 ? CALLS_PER_SAMPLE / dMs / 1000.0 : 0.0);
    series.name += szRate;
}

} // namespace

int main(int argc, char** argv)
{
    BENCH_OPTIONS options;
    // Eight threads on this machine's two CPUs spread widely: many rounds.
    options.nRounds = 300;
    if (!ParseBenchOptions(argc, argv, &options))
        return 2;

    CInprocServer server;
    if (!server.Load(BenchProgramDirectory() + "Kestrun_Tool.dll"))
        return 1;
    const FACTORY_SOURCE real = {server.GetClassObjectExport(), &CLSID_Quorvex_Kestrun};
    const FACTORY_SOURCE model = {ModelGetClassObject, &CLSID_FactoryModel};
    // The first request creates and caches each factory: the fast path is
    // every request after it.
    AskAndRelease(real, 1);
    AskAndRelease(model, 1);
    CThreadTeam team;
    if (!team.Start(TEAM_SIZE) || !AtRest(server)) {
        std::fprintf(stderr, "factory_bench: cannot set up the factories and threads\n");
        return 1;
    }

    const std::string calls = std::to_string(CALLS_PER_SAMPLE) + " calls";
    const std::string teamText = std::to_string(TEAM_SIZE) + " threads, ";
    enum { REAL_ONE, MODEL_ONE, REAL_TEAM, MODEL_TEAM };
    std::vector<BENCH_SERIES> series = {
        OneThreadSeries("Kestrun_Tool.dll, 1 thread, " + calls, real, server),
        OneThreadSeries("model, 1 thread, " + calls, model, server),
        TeamSeries("Kestrun_Tool.dll, " + teamText + calls, real, server, team),
        TeamSeries("model, " + teamText + calls, model, server, team),
    };
    std::printf("factory_bench: %d rounds after %d warm-up rounds, %d DllGetClassObject + Release a sample\n",
                options.nRounds, options.nWarmUpRounds, CALLS_PER_SAMPLE);
    if (!RunInterleaved(series, options))
        return 1;
    for (BENCH_SERIES& one : series)
        NameRate(one);
    PrintSeries(series);
    if (options.bPrintSamples)
        PrintSamples(series);
    ReportFigure("5a", "Factory fast path, 1 thread: DllGetClassObject + Release against the model", series[REAL_ONE],
                 series[MODEL_ONE], 1.20);
    ReportFigure("5b", "Factory fast path, 8 threads: DllGetClassObject + Release against the model",
                 series[REAL_TEAM], series[MODEL_TEAM], 1.20);
    return 0;
}
