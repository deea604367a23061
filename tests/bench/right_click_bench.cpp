// Figures 1 and 2: what a right-click on a file costs Explorer's thread, for
// Kestrun_Tool.dll (and, in figure 1, Kestrun_Tool64.dll) against a
// do-nothing handler library built, linked and bound like it
// (baselines/do_nothing_handler.cpp).
//
//   1  A right-click on a file that is not a boot image (the common case):
//      load the library, get its class factory, create a handler, release
//      the factory, Initialize with the one selected file, release the
//      handler, ask DllCanUnloadNow and unload, as COM does for Explorer.
//      Loading the boot library, which both bind, is part of the floor.
//      Kestrun_Tool64.dll binds no boot library; its floor is the do-nothing
//      handler bound like it.
//   2  Selection size: the library loaded and its factory held, a handler
//      created, initialised with a selection of 10 000 files and released.
//      Counting the dropped files (DragQueryFile with index 0xFFFFFFFF) is
//      linear in the list and belongs to the handler's work; the floor is the
//      do-nothing handler's work plus that count over the same drop list.
//      Nothing else the handler does may grow with the list.
//
// The system DLLs the extension binds are loaded first and stay loaded, as
// in Explorer; the boot library is not, so figure 1 loads and unloads it
// with each library. Each sample is a batch of sequences.

#include "bench_drop_data.h"
#include "bench_harness.h"
#include "bench_inproc_server.h"
#include "do_nothing_handler.h"

#include "Kestrun_Tool_i.h"

#include <shlobj.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const int CLICKS_PER_SAMPLE = 2;
const int INITS_PER_SAMPLE = 10;
const std::size_t LARGE_SELECTION = 10000;

const char IMAGES[] = "C:\\users\\kestrun\\Documents\\images\\";

struct HANDLER_LIBRARY
{
    const char* pszFile;
    const CLSID* pclsid;
    const char* pszName;
};

const HANDLER_LIBRARY KESTRUN_TOOL = {"Kestrun_Tool.dll", &CLSID_Quorvex_Kestrun, "Kestrun_Tool.dll"};
const HANDLER_LIBRARY DO_NOTHING = {"do_nothing_handler.dll", &CLSID_DoNothingHandler, "do-nothing handler"};
const HANDLER_LIBRARY KESTRUN_TOOL64 = {"Kestrun_Tool64.dll", &CLSID_Quorvex_Kestrun, "Kestrun_Tool64.dll"};
const HANDLER_LIBRARY DO_NOTHING64 = {"do_nothing_hand_off.dll", &CLSID_DoNothingHandler,
                                      "do-nothing handler bound like Kestrun_Tool64.dll"};

// A data object, released on every path.
class CDataHolder
{
public:
    explicit CDataHolder(CBenchDropData* p) : m_p(p) {}
    ~CDataHolder() { if (m_p) m_p->Release(); }
    CDataHolder(const CDataHolder&) = delete;
    CDataHolder& operator=(const CDataHolder&) = delete;
    CBenchDropData* Get() const { return m_p; }

private:
    CBenchDropData* m_p;
};

// Explorer's sequence for one right-click on one handler, from load to
// unload. False when any step does not answer as it should for a file the
// handler refuses.
bool RightClick(const std::string& path, REFCLSID clsid, IDataObject* pData)
{
    CInprocServer server;
    if (!server.Load(path))
        return false;
    IClassFactory* pFactory = nullptr;
    if (FAILED(server.GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&pFactory))))
        return false;
    IShellExtInit* pInit = nullptr;
    HRESULT hr = pFactory->CreateInstance(NULL, IID_IShellExtInit, reinterpret_cast<void**>(&pInit));
    pFactory->Release();
    if (FAILED(hr))
        return false;
    hr = pInit->Initialize(NULL, pData, NULL);
    pInit->Release();
    const bool bUnloadable = server.CanUnloadNow() == S_OK;
    server.Unload();
    return hr == E_INVALIDARG && bUnloadable;
}

BENCH_SERIES RightClickSeries(const HANDLER_LIBRARY& library, CBenchDropData* pData)
{
    BENCH_SERIES series;
    series.name = std::string(library.pszName) + ": " + std::to_string(CLICKS_PER_SAMPLE) + " right-clicks";
    const std::string path = BenchProgramDirectory() + library.pszFile;
    const CLSID clsid = *library.pclsid;
    const std::string file = library.pszFile;
    series.measure = [path, clsid, pData, file] {
        CStopwatch stopwatch;
        for (int i = 0; i < CLICKS_PER_SAMPLE; ++i)
            if (!RightClick(path, clsid, pData))
                return -1.0;
        const double dMs = stopwatch.ElapsedMs();
        // A library still loaded afterwards would make the next sample
        // measure something else.
        if (GetModuleHandleA(file.c_str()) != NULL || GetModuleHandleA("Lorvane.dll") != NULL) {
            std::fprintf(stderr, "right_click_bench: %s or Lorvane.dll stayed loaded\n", file.c_str());
            return -1.0;
        }
        return dMs;
    };
    return series;
}

// A library loaded for the whole of figure 2, with its factory held.
class CHeldFactory
{
public:
    CHeldFactory() = default;
    ~CHeldFactory()
    {
        if (m_pFactory)
            m_pFactory->Release();
    }
    CHeldFactory(const CHeldFactory&) = delete;
    CHeldFactory& operator=(const CHeldFactory&) = delete;

    bool Open(const HANDLER_LIBRARY& library)
    {
        return m_server.Load(BenchProgramDirectory() + library.pszFile) &&
               SUCCEEDED(m_server.GetClassObject(*library.pclsid, IID_IClassFactory,
                                                 reinterpret_cast<void**>(&m_pFactory)));
    }
    IClassFactory* Get() const { return m_pFactory; }

private:
    CInprocServer m_server;   // unloaded after the factory is released
    IClassFactory* m_pFactory = nullptr;
};

// A handler created, initialised with the selection and released: S_OK for
// Kestrun_Tool.dll (the first file is a boot image), E_INVALIDARG for the
// do-nothing handler.
HRESULT CreateAndInitialize(IClassFactory* pFactory, IDataObject* pData)
{
    IShellExtInit* pInit = nullptr;
    HRESULT hr = pFactory->CreateInstance(NULL, IID_IShellExtInit, reinterpret_cast<void**>(&pInit));
    if (FAILED(hr))
        return hr;
    hr = pInit->Initialize(NULL, pData, NULL);
    pInit->Release();
    return hr;
}

// The count of the dropped files, as the handler takes it: the drop list
// locked, DragQueryFileA with index 0xFFFFFFFF, unlocked.
UINT CountDroppedFiles(HGLOBAL hDrop)
{
    HDROP hLocked = static_cast<HDROP>(GlobalLock(hDrop));
    const UINT nFiles = DragQueryFileA(hLocked, 0xFFFFFFFF, NULL, 0);
    GlobalUnlock(hDrop);
    return nFiles;
}

BENCH_SERIES InitializeSeries(const std::string& name, IClassFactory* pFactory, CBenchDropData* pData,
                              HRESULT hrExpected, bool bCount, std::size_t nFiles)
{
    BENCH_SERIES series;
    series.name = name;
    series.measure = [=] {
        CStopwatch stopwatch;
        bool bAsExpected = true;
        for (int i = 0; i < INITS_PER_SAMPLE; ++i) {
            bAsExpected = CreateAndInitialize(pFactory, pData) == hrExpected && bAsExpected;
            if (bCount)
                bAsExpected = CountDroppedFiles(pData->DropFiles()) == nFiles && bAsExpected;
        }
        const double dMs = stopwatch.ElapsedMs();
        return bAsExpected && pData->MediaOutstanding() == 0 ? dMs : -1.0;
    };
    return series;
}

bool RunRightClicks(const BENCH_OPTIONS& options)
{
    CDataHolder data(CBenchDropData::Create({std::string(IMAGES) + "readme.txt"}));
    if (data.Get() == nullptr)
        return false;
    std::vector<BENCH_SERIES> series = {
        RightClickSeries(KESTRUN_TOOL, data.Get()),
        RightClickSeries(DO_NOTHING, data.Get()),
        RightClickSeries(KESTRUN_TOOL64, data.Get()),
        RightClickSeries(DO_NOTHING64, data.Get()),
    };
    std::printf("right_click_bench, figure 1: %d rounds after %d warm-up rounds, %d right-clicks a sample\n",
                options.nRounds, options.nWarmUpRounds, CLICKS_PER_SAMPLE);
    if (!RunInterleaved(series, options))
        return false;
    PrintSeries(series);
    if (options.bPrintSamples)
        PrintSamples(series);
    ReportFigure("1", "Right-click on a non-image: load, factory, handler, Initialize, release, unload", series[0],
                 series[1], 1.20);
    ReportFigure("1b", "The same through Kestrun_Tool64.dll, against a do-nothing handler bound like it", series[2],
                 series[3], 1.10);
    ReportFigure("1c", "The same: Kestrun_Tool64.dll against Kestrun_Tool.dll", series[2], series[0], 0);
    return true;
}

bool RunSelectionSizes(const BENCH_OPTIONS& options)
{
    CHeldFactory kestrun;
    CHeldFactory doNothing;
    if (!kestrun.Open(KESTRUN_TOOL) || !doNothing.Open(DO_NOTHING)) {
        std::fprintf(stderr, "right_click_bench: cannot get the class factories\n");
        return false;
    }
    const std::string image = std::string(IMAGES) + "boot.bin";
    CDataHolder large(CBenchDropData::Create(SelectionOf(image, LARGE_SELECTION)));
    CDataHolder single(CBenchDropData::Create(SelectionOf(image, 1)));
    if (large.Get() == nullptr || single.Get() == nullptr)
        return false;

    const std::string largeText = std::to_string(LARGE_SELECTION) + " files";
    const std::string batch = ", " + std::to_string(INITS_PER_SAMPLE) + " handlers";
    enum { KESTRUN_LARGE, FLOOR_LARGE, KESTRUN_SINGLE, FLOOR_SINGLE };
    std::vector<BENCH_SERIES> series = {
        InitializeSeries("Kestrun_Tool.dll, " + largeText + batch, kestrun.Get(), large.Get(), S_OK, false,
                         LARGE_SELECTION),
        InitializeSeries("do-nothing handler + count of " + largeText + batch, doNothing.Get(), large.Get(),
                         E_INVALIDARG, true, LARGE_SELECTION),
        InitializeSeries("Kestrun_Tool.dll, 1 file" + batch, kestrun.Get(), single.Get(), S_OK, false, 1),
        InitializeSeries("do-nothing handler + count of 1 file" + batch, doNothing.Get(), single.Get(),
                         E_INVALIDARG, true, 1),
    };
    std::printf("right_click_bench, figure 2: %d rounds after %d warm-up rounds, %d handlers a sample\n",
                options.nRounds, options.nWarmUpRounds, INITS_PER_SAMPLE);
    if (!RunInterleaved(series, options))
        return false;
    PrintSeries(series);
    if (options.bPrintSamples)
        PrintSamples(series);
    ReportFigure("2a", "Selection of 10 000 files: handler against do-nothing plus the count", series[KESTRUN_LARGE],
                 series[FLOOR_LARGE], 1.10);
    ReportFigure("2b", "Selection of 1 file: handler against do-nothing plus the count", series[KESTRUN_SINGLE],
                 series[FLOOR_SINGLE], 0);
    ReportFigure("2c", "Growth of the handler's work: 10 000 files against 1 file", series[KESTRUN_LARGE],
                 series[KESTRUN_SINGLE], 0);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    BENCH_OPTIONS options;
    // A right-click costs well under a millisecond: many short samples.
    options.nRounds = 500;
    if (!ParseBenchOptions(argc, argv, &options))
        return 2;
    if (FAILED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED)) || !PreloadShellDlls())
        return 1;
    // Figure 1 first and apart: figure 2 keeps both libraries loaded.
    const bool bDone = RunRightClicks(options) && RunSelectionSizes(options);
    CoUninitialize();
    return bDone ? 0 : 1;
}
