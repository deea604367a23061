// Figure 3: how long a click on "Quorvex Kestrun" holds Explorer's thread.
// InvokeCommand prepares the boot on the calling thread (registry read,
// settings path, Load_IniFile, the download address) and hands the transfer
// to a worker; it must not wait for the device.
//
//   3a  InvokeCommand against the transfer it starts, with the stand-in boot
//       library set to wait 2 seconds before the first byte moves: the time
//       from the click to the end of the transfer (the stand-in's call log
//       records it), taken in the same round.
//   3b  InvokeCommand against the bare sequence of the same calls made
//       directly: the launcher command read from the registry, Load_IniFile
//       and the settings read on the same settings file, and a thread start
//       of a thread that does nothing.
//
//   3c  Kestrun_Tool64.dll's click, which only starts the launcher with the
//       file, against a bare registry read and process start of the same
//       command line. The launcher then boots with the stand-in set to
//       instant; each sample waits for that boot, untimed.
//
// Every round waits for its transfer to end, so no two transfers overlap and
// no worker or launcher is left running when the program ends. Each round of
// 3a and 3b takes over two seconds: the default is 20 measured rounds.

#include "bench_drop_data.h"
#include "bench_harness.h"
#include "bench_inproc_server.h"
#include "bench_installation.h"

#include "Kestrun_Tool_i.h"
#include "lorvane.h"

#include <process.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

const DWORD TRANSFER_LATENCY_MS = 2000;
const DWORD TRANSFER_TIMEOUT_MS = 30000;
const UINT DOWNLOAD_ADDRESS = 0x8000;   // as CBenchInstallation writes it
const char TOOL_LIBRARY[] = "Kestrun_Tool.dll";
const char TOOL64_LIBRARY[] = "Kestrun_Tool64.dll";
const char COMMAND_KEY[] = "Applications\\Kestrun.exe\\shell\\open\\command";

// The transfers the stand-in has finished so far, and whether the last one
// succeeded: its "Kestrun" lines (the end of a call) in the call log.
struct TRANSFERS
{
    int nEnded = 0;
    bool bLastSucceeded = false;
};

TRANSFERS ReadTransfers(const std::string& callLog)
{
    TRANSFERS transfers;
    std::ifstream in(callLog, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("\tKestrun\t") == std::string::npos)
            continue;
        ++transfers.nEnded;
        transfers.bLastSucceeded = line.find("\tresult=0") != std::string::npos;
    }
    return transfers;
}

// The handler as Explorer holds it after a right-click on the image.
class CClickedHandler
{
public:
    CClickedHandler() = default;
    ~CClickedHandler()
    {
        if (m_pMenu)
            m_pMenu->Release();
        m_server.Unload();
    }
    CClickedHandler(const CClickedHandler&) = delete;
    CClickedHandler& operator=(const CClickedHandler&) = delete;

    bool Open(const std::string& library, const std::string& image)
    {
        if (!m_server.Load(library))
            return false;
        IClassFactory* pFactory = nullptr;
        if (FAILED(m_server.GetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory,
                                           reinterpret_cast<void**>(&pFactory))))
            return false;
        IShellExtInit* pInit = nullptr;
        HRESULT hr = pFactory->CreateInstance(NULL, IID_IShellExtInit, reinterpret_cast<void**>(&pInit));
        pFactory->Release();
        if (FAILED(hr))
            return false;
        CBenchDropData* pData = CBenchDropData::Create({image});
        hr = pData != nullptr ? pInit->Initialize(NULL, pData, NULL) : E_OUTOFMEMORY;
        if (pData != nullptr)
            pData->Release();
        if (hr == S_OK)
            hr = pInit->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&m_pMenu));
        pInit->Release();
        return hr == S_OK;
    }

    HRESULT Click() const
    {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = MAKEINTRESOURCEA(0);
        info.nShow = SW_SHOWNORMAL;
        return m_pMenu->InvokeCommand(&info);
    }

    // After the last transfer the worker drops its hold on the library; the
    // library leaves the process once the handler is released too.
    bool WaitUntilUnloaded(const char* pszLibrary)
    {
        if (m_pMenu)
            m_pMenu->Release();
        m_pMenu = nullptr;
        m_server.Unload();
        for (DWORD dwWaited = 0; GetModuleHandleA(pszLibrary) != NULL; dwWaited += 10) {
            if (dwWaited >= TRANSFER_TIMEOUT_MS)
                return false;
            Sleep(10);
        }
        return true;
    }

private:
    CInprocServer m_server;
    IContextMenu* m_pMenu = nullptr;
};

// Waits until the stand-in has ended one more transfer than nEndedBefore;
// false when it does not, or when that transfer failed.
bool WaitForTransfer(const std::string& callLog, int nEndedBefore, const CStopwatch& stopwatch)
{
    TRANSFERS transfers = ReadTransfers(callLog);
    while (transfers.nEnded == nEndedBefore) {
        if (stopwatch.ElapsedMs() > TRANSFER_TIMEOUT_MS) {
            std::fprintf(stderr, "click_bench: the transfer did not end\n");
            return false;
        }
        Sleep(2);
        transfers = ReadTransfers(callLog);
    }
    if (!transfers.bLastSucceeded)
        std::fprintf(stderr, "click_bench: the transfer failed\n");
    return transfers.bLastSucceeded;
}

// One click: the time InvokeCommand takes; the time to the end of the
// transfer goes to pTransferMs.
double TimeClick(const CClickedHandler& handler, const std::string& callLog, std::vector<double>* pTransferMs)
{
    const int nEndedBefore = ReadTransfers(callLog).nEnded;
    CStopwatch stopwatch;
    const HRESULT hr = handler.Click();
    const double dInvokeMs = stopwatch.ElapsedMs();
    if (hr != S_OK) {
        std::fprintf(stderr, "click_bench: InvokeCommand returned 0x%08lX\n", hr);
        return -1;
    }
    if (!WaitForTransfer(callLog, nEndedBefore, stopwatch))
        return -1;
    pTransferMs->push_back(stopwatch.ElapsedMs());
    return dInvokeMs;
}

// Kestrun_Tool64.dll's click: the time InvokeCommand takes to start the
// launcher; the launcher's boot is waited for, untimed.
double TimeHandOffClick(const CClickedHandler& handler, const std::string& callLog)
{
    const int nEndedBefore = ReadTransfers(callLog).nEnded;
    CStopwatch stopwatch;
    const HRESULT hr = handler.Click();
    const double dMs = stopwatch.ElapsedMs();
    if (hr != S_OK) {
        std::fprintf(stderr, "click_bench: Kestrun_Tool64.dll's InvokeCommand returned 0x%08lX\n", hr);
        return -1;
    }
    return WaitForTransfer(callLog, nEndedBefore, stopwatch) ? dMs : -1;
}

// What the hand-off cannot do without, made directly: the registered command
// read, %1 replaced, the process started, its handles closed.
double TimeBareHandOff(const std::wstring& image, const std::string& callLog)
{
    const int nEndedBefore = ReadTransfers(callLog).nEnded;
    CStopwatch stopwatch;

    WCHAR szCommand[MAX_PATH] = {};
    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, COMMAND_KEY, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return -1;
    DWORD dwType = REG_NONE;
    DWORD cbCommand = sizeof(szCommand) - sizeof(WCHAR);
    const LONG lRead = RegQueryValueExW(hKey, NULL, NULL, &dwType, reinterpret_cast<BYTE*>(szCommand), &cbCommand);
    RegCloseKey(hKey);
    std::wstring commandLine = szCommand;
    const std::wstring::size_type placeholder = commandLine.find(L"%1");
    if (lRead != ERROR_SUCCESS || placeholder == std::wstring::npos)
        return -1;
    commandLine.replace(placeholder, 2, image);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const double dMs = stopwatch.ElapsedMs();
    return WaitForTransfer(callLog, nEndedBefore, stopwatch) ? dMs : -1;
}

LONG g_nTrivialThreadsEnded;

unsigned __stdcall TrivialThread(void*)
{
    InterlockedIncrement(&g_nTrivialThreadsEnded);
    return 0;
}

// The calls InvokeCommand cannot do without, made directly.
double TimeBareSequence()
{
    const LONG nEndedBefore = g_nTrivialThreadsEnded;
    CStopwatch stopwatch;

    char szCommand[MAX_PATH] = {};
    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, COMMAND_KEY, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return -1;
    DWORD dwType = REG_NONE;
    DWORD cbCommand = sizeof(szCommand) - 1;
    const LONG lRead = RegQueryValueExA(hKey, NULL, NULL, &dwType, reinterpret_cast<BYTE*>(szCommand), &cbCommand);
    RegCloseKey(hKey);
    char* pszSlash = std::strrchr(szCommand, '\\');
    if (lRead != ERROR_SUCCESS || pszSlash == nullptr)
        return -1;
    char szSettings[MAX_PATH] = {};
    std::memcpy(szSettings, szCommand, static_cast<std::size_t>(pszSlash + 1 - szCommand));
    std::strcat(szSettings, "LORVANE_SET.INI");

    const int nLoaded = Load_IniFile(szSettings);
    const UINT nAddress = GetPrivateProfileIntA("QUORVEX_KESTRUN", "DnLoadAddr", 0, szSettings);
    const std::uintptr_t hThread = _beginthreadex(NULL, 0, TrivialThread, NULL, 0, NULL);
    if (hThread != 0)
        CloseHandle(reinterpret_cast<HANDLE>(hThread));
    const double dMs = stopwatch.ElapsedMs();

    if (nLoaded != 0 || nAddress != DOWNLOAD_ADDRESS || hThread == 0)
        return -1;
    while (g_nTrivialThreadsEnded == nEndedBefore)
        Sleep(1);
    return dMs;
}

// Figure 3c, with the stand-in set to instant: each sample is one launcher's
// start and boot.
bool RunHandOff(CBenchInstallation& installation, const std::string& image, const BENCH_OPTIONS& options)
{
    CClickedHandler handler;
    if (!installation.WriteSettings(0, 0) || !handler.Open(installation.ToolFile(TOOL64_LIBRARY), image)) {
        std::fprintf(stderr, "click_bench: cannot set up the click of Kestrun_Tool64.dll\n");
        return false;
    }
    const std::string callLog = installation.CallLog();
    const std::wstring wideImage(image.begin(), image.end());
    std::vector<BENCH_SERIES> series(2);
    series[0].name = "Kestrun_Tool64.dll InvokeCommand";
    series[0].measure = [&] { return TimeHandOffClick(handler, callLog); };
    series[1].name = "registry read, CreateProcess of the same command line";
    series[1].measure = [&] { return TimeBareHandOff(wideImage, callLog); };

    std::printf("click_bench, figure 3c: %d rounds after %d warm-up rounds, a launcher started a sample\n",
                options.nRounds, options.nWarmUpRounds);
    bool bRan = RunInterleaved(series, options);
    if (!handler.WaitUntilUnloaded(TOOL64_LIBRARY)) {
        std::fprintf(stderr, "click_bench: Kestrun_Tool64.dll did not leave the process\n");
        bRan = false;
    }
    if (!bRan)
        return false;
    PrintSeries(series);
    if (options.bPrintSamples)
        PrintSamples(series);
    ReportFigure("3c", "Hand-off click: Kestrun_Tool64.dll's InvokeCommand against a registry read and CreateProcess",
                 series[0], series[1], 1.30);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    BENCH_OPTIONS options;
    options.nWarmUpRounds = 2;
    options.nRounds = 20;
    if (!ParseBenchOptions(argc, argv, &options))
        return 2;
    if (FAILED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED)) || !PreloadShellDlls())
        return 1;

    int nResult = 1;
    {
        CBenchInstallation installation;
        if (!installation.Create(BenchProgramDirectory(), {TOOL_LIBRARY, TOOL64_LIBRARY, "Kestrun.exe", "Lorvane.dll"}) ||
            !installation.WriteSettings(TRANSFER_LATENCY_MS, 0))
            return 1;
        const std::string image = installation.MakeImage("boot.bin", 1024);
        // A device that is not there would stop the click at a message box.
        char szSettings[MAX_PATH] = {};
        std::strncpy(szSettings, installation.ToolFile("LORVANE_SET.INI").c_str(), MAX_PATH - 1);
        CClickedHandler handler;
        if (image.empty() || Load_IniFile(szSettings) != 0 ||
            !handler.Open(installation.ToolFile(TOOL_LIBRARY), image)) {
            std::fprintf(stderr, "click_bench: cannot set up the click\n");
            return 1;
        }

        const std::string callLog = installation.CallLog();
        std::vector<double> transferMs;
        std::vector<BENCH_SERIES> series(2);
        series[0].name = "InvokeCommand";
        series[0].measure = [&] { return TimeClick(handler, callLog, &transferMs); };
        series[1].name = "registry, Load_IniFile, settings, thread start";
        series[1].measure = TimeBareSequence;

        std::printf("click_bench: %d rounds after %d warm-up rounds, %lu ms before the first byte moves\n",
                    options.nRounds, options.nWarmUpRounds, TRANSFER_LATENCY_MS);
        bool bRan = RunInterleaved(series, options);
        if (!handler.WaitUntilUnloaded(TOOL_LIBRARY)) {
            std::fprintf(stderr, "click_bench: the extension did not leave the process\n");
            bRan = false;
        }
        if (bRan) {
            BENCH_SERIES transfer;
            transfer.name = "click to end of transfer";
            transfer.samples.assign(transferMs.begin() + options.nWarmUpRounds, transferMs.end());
            series.push_back(transfer);
            PrintSeries(series);
            if (options.bPrintSamples)
                PrintSamples(series);
            ReportFigure("3a", "Click latency: InvokeCommand against the 2-second transfer it starts", series[0],
                         series[2], 0.01);
            ReportFigure("3b", "Click latency: InvokeCommand against the bare calls it makes", series[0], series[1],
                         1.50);
            nResult = RunHandOff(installation, image, options) ? 0 : 1;
        }
    }
    CoUninitialize();
    return nResult;
}
