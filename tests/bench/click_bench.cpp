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
// Every round waits for its transfer to end, so no two transfers overlap and
// no worker is left running when the program ends. Each round takes over two
// seconds: the default is 20 measured rounds.

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
    bool WaitUntilUnloaded()
    {
        if (m_pMenu)
            m_pMenu->Release();
        m_pMenu = nullptr;
        m_server.Unload();
        for (DWORD dwWaited = 0; GetModuleHandleA(TOOL_LIBRARY) != NULL; dwWaited += 10) {
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
    TRANSFERS transfers = ReadTransfers(callLog);
    while (transfers.nEnded == nEndedBefore) {
        if (stopwatch.ElapsedMs() > TRANSFER_TIMEOUT_MS) {
            std::fprintf(stderr, "click_bench: the transfer did not end\n");
            return -1;
        }
        Sleep(2);
        transfers = ReadTransfers(callLog);
    }
    pTransferMs->push_back(stopwatch.ElapsedMs());
    if (!transfers.bLastSucceeded) {
        std::fprintf(stderr, "click_bench: the transfer failed\n");
        return -1;
    }
    return dInvokeMs;
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
        if (!installation.Create(BenchProgramDirectory(), {TOOL_LIBRARY}) ||
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
        if (!handler.WaitUntilUnloaded()) {
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
            nResult = 0;
        }
    }
    CoUninitialize();
    return nResult;
}
