// Figure 4: how long the shell waits for Kestrun.exe, against do-nothing GUI
// programs linked the same way and started the same way.
//
//   refusing   Kestrun.exe with a non-image (boot.txt): start-up, the
//              boot-file rule, exit. Nothing else runs.
//   booting    Kestrun.exe with a 1 KiB image and the stand-in boot library
//              set to instant: the whole boot request.
//   baselines  programs that return at once: one bound to the same DLLs as
//              Kestrun.exe (user32, advapi32, kernel32, msvcrt, Lorvane.dll),
//              one bound to none of them beyond the runtime's own, and two
//              that delay-load user32, or user32 and advapi32 (what
//              delay-loading would gain: the launcher needs user32 only to
//              show a failure, and advapi32 only once it accepted a path).
//   console    KestrunBoot.exe booting the same image, started the same way,
//              against the launcher booting: the whole run, and the time from
//              the start to the stand-in's Load_IniFile (its call log holds
//              the performance counter of each call).

#include "bench_harness.h"
#include "bench_installation.h"
#include "bench_process.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

const DWORD EXIT_BOOTED = 0;
const DWORD EXIT_REFUSED = 0x80070057;   // E_INVALIDARG
const DWORD EXIT_BASELINE = 0;

const char LAUNCHER[] = "Kestrun.exe";
const char CONSOLE[] = "KestrunBoot.exe";
const char SAME_IMPORTS[] = "baseline_same_imports.exe";
const char NO_IMPORTS[] = "baseline_no_imports.exe";
const char USER32_DELAYED[] = "baseline_user32_delayed.exe";
const char BOTH_DELAYED[] = "baseline_user32_advapi32_delayed.exe";

std::string ProgramDirectory()
{
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(NULL, szPath, MAX_PATH);
    const std::string path(szPath);
    return path.substr(0, path.rfind('\\') + 1);
}

BENCH_SERIES ProcessSeries(const std::string& name, const std::string& commandLine, DWORD dwExpectedExitCode)
{
    BENCH_SERIES series;
    series.name = name;
    series.measure = [commandLine, dwExpectedExitCode] { return TimeProcessRun(commandLine, dwExpectedExitCode); };
    return series;
}

// The performance counter of the last Load_IniFile in the call log, 0 when
// there is none.
long long LastLoadIniFileCounter(const std::string& callLog)
{
    std::ifstream in(callLog, std::ios::binary);
    long long nCounter = 0;
    for (std::string line; std::getline(in, line);) {
        const std::string::size_type qpc = line.find("\tqpc=");
        if (qpc != std::string::npos && line.find("\tLoad_IniFile\t") != std::string::npos)
            nCounter = std::stoll(line.substr(qpc + 5));
    }
    return nCounter;
}

// A whole boot, whose time from the start to Load_IniFile goes to
// *pToLoadMs (every run, warm-up rounds included).
BENCH_SERIES BootSeries(const std::string& name, const std::string& commandLine, const std::string& callLog,
                        std::vector<double>* pToLoadMs)
{
    BENCH_SERIES series;
    series.name = name;
    series.measure = [commandLine, callLog, pToLoadMs] {
        LARGE_INTEGER liStart, liFrequency;
        QueryPerformanceFrequency(&liFrequency);
        QueryPerformanceCounter(&liStart);
        const double dMs = TimeProcessRun(commandLine, EXIT_BOOTED);
        const long long nLoaded = LastLoadIniFileCounter(callLog);
        if (dMs < 0 || nLoaded <= liStart.QuadPart) {
            std::fprintf(stderr, "launcher_bench: no Load_IniFile of %s in the call log\n", commandLine.c_str());
            return -1.0;
        }
        pToLoadMs->push_back(static_cast<double>(nLoaded - liStart.QuadPart) * 1000.0 / liFrequency.QuadPart);
        return dMs;
    };
    return series;
}

// A series made of the samples another series' runs left, without those of
// the warm-up rounds.
BENCH_SERIES DerivedSeries(const std::string& name, const std::vector<double>& samples, int nWarmUpRounds)
{
    BENCH_SERIES series;
    series.name = name;
    series.samples.assign(samples.begin() + nWarmUpRounds, samples.end());
    return series;
}

} // namespace

int main(int argc, char** argv)
{
    BENCH_OPTIONS options;
    if (!ParseBenchOptions(argc, argv, &options))
        return 2;

    CBenchInstallation installation;
    if (!installation.Create(ProgramDirectory(),
                             {LAUNCHER, CONSOLE, "Lorvane.dll", SAME_IMPORTS, NO_IMPORTS, USER32_DELAYED,
                              BOTH_DELAYED}))
        return 1;
    const std::string text = installation.MakeImage("boot.txt", 1024);
    const std::string image = installation.MakeImage("boot.bin", 1024);
    if (text.empty() || image.empty()) {
        std::fprintf(stderr, "launcher_bench: cannot write the sample files\n");
        return 1;
    }

    // Every baseline gets the non-image, so its command line has the same
    // shape and length as the refused launcher's.
    enum { REFUSING, BOOTING, SAME, NONE, USER32, BOTH, CONSOLE_BOOTING, LAUNCHER_TO_LOAD, CONSOLE_TO_LOAD };
    std::vector<double> launcherToLoadMs, consoleToLoadMs;
    std::vector<BENCH_SERIES> series = {
        ProcessSeries("Kestrun.exe refusing boot.txt", ShellCommandLine(installation.ToolFile(LAUNCHER), text),
                      EXIT_REFUSED),
        BootSeries("Kestrun.exe booting boot.bin (instant stand-in)",
                   ShellCommandLine(installation.ToolFile(LAUNCHER), image), installation.CallLog(), &launcherToLoadMs),
        ProcessSeries("do-nothing GUI, same imports", ShellCommandLine(installation.ToolFile(SAME_IMPORTS), text),
                      EXIT_BASELINE),
        ProcessSeries("do-nothing GUI, no such imports", ShellCommandLine(installation.ToolFile(NO_IMPORTS), text),
                      EXIT_BASELINE),
        ProcessSeries("do-nothing GUI, user32 delay-loaded",
                      ShellCommandLine(installation.ToolFile(USER32_DELAYED), text), EXIT_BASELINE),
        ProcessSeries("do-nothing GUI, user32+advapi32 delay-loaded",
                      ShellCommandLine(installation.ToolFile(BOTH_DELAYED), text), EXIT_BASELINE),
        BootSeries("KestrunBoot.exe booting boot.bin (instant stand-in)",
                   ShellCommandLine(installation.ToolFile(CONSOLE), image), installation.CallLog(), &consoleToLoadMs),
    };

    std::printf("launcher_bench: %d rounds after %d warm-up rounds, %u series interleaved\n", options.nRounds,
                options.nWarmUpRounds, static_cast<unsigned>(series.size()));
    if (!RunInterleaved(series, options))
        return 1;
    series.push_back(DerivedSeries("Kestrun.exe start to Load_IniFile", launcherToLoadMs, options.nWarmUpRounds));
    series.push_back(DerivedSeries("KestrunBoot.exe start to Load_IniFile", consoleToLoadMs, options.nWarmUpRounds));
    PrintSeries(series);
    if (options.bPrintSamples)
        PrintSamples(series);

    ReportFigure("4a", "Launcher refusing a non-image, against same-import do-nothing", series[REFUSING],
                 series[SAME], 1.10);
    ReportFigure("4b", "Launcher booting with an instant stand-in, against same-import do-nothing",
                 series[BOOTING], series[SAME], 1.10);
    ReportFigure("4c", "Launcher refusing a non-image, against no-import do-nothing", series[REFUSING],
                 series[NONE], 0);
    ReportFigure("4d", "Launcher booting with an instant stand-in, against no-import do-nothing",
                 series[BOOTING], series[NONE], 0);
    ReportFigure("4e", "Cost of the imports: same-import against no-import do-nothing", series[SAME],
                 series[NONE], 0);
    ReportFigure("4f", "Delay-loading user32: delay-loading against same-import do-nothing", series[USER32],
                 series[SAME], 0);
    ReportFigure("4g", "Delay-loading user32 and advapi32: delay-loading against same-import do-nothing",
                 series[BOTH], series[SAME], 0);
    ReportFigure("4h", "Console program: start to Load_IniFile against the launcher's, instant stand-in",
                 series[CONSOLE_TO_LOAD], series[LAUNCHER_TO_LOAD], 1.10);
    ReportFigure("4i", "Console program: whole boot against the launcher's, instant stand-in", series[CONSOLE_BOOTING],
                 series[BOOTING], 1.10);
    return 0;
}
