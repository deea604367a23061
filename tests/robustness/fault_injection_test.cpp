// Every fault point of the test build, run over and over: each failure
// returns its documented code, leaves the module lock count where it was and
// leaves no memory or handle behind; once the fault is gone, the same call
// works again.

#include "box_closer.h"
#include "com_checks.h"
#include "drop_data_object.h"
#include "injected_fault.h"
#include "module_session.h"
#include "process_figures.h"
#include "quorvex_kestrun.h"
#include "standin_device.h"
#include "text_file.h"

#include <gtest/gtest.h>
#include <oleauto.h>
#include <olectl.h>

#include <functional>
#include <map>

namespace {

// Memory a fault loop may gain without a leak: heap and page granularity
// after the warm-up (0 to 8 KiB measured). The platform's message boxes grow
// its memory by about 1.6 KiB a box for their first 150 to 170 boxes: a path
// that shows one warms up in longer batches and still gets a wider margin. A
// job block per run is 264 bytes: the heap block count of CLeakCheck catches
// it exactly at any loop size.
const ULONGLONG FAULT_LOOP_TOLERANCE = 24 * 1024;
const ULONGLONG BOX_LOOP_TOLERANCE = 256 * 1024;
const DWORD HANDLE_TOLERANCE = 2;

struct FAULT_CASE
{
    const char* pszName;              // of its figures
    const char* pszPoint;
    HRESULT hrExpected;
    const char* pszBox;               // what each failing run reports, or null
    unsigned nQuickRuns;
    std::function<HRESULT()> run;     // one run of the path with the fault
    std::function<HRESULT()> recover; // the same call once the fault is gone
};

class FaultPaths : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_device.WriteSettings("0x8000");
        m_image = m_device.MakeImage("boot.bin", 64);
        ASSERT_EQ(S_OK, CoInitializeEx(NULL, COINIT_APARTMENTTHREADED));
    }
    void TearDown() override { CoUninitialize(); }

    HRESULT GetFactory(IClassFactory** ppFactory)
    {
        *ppFactory = NULL;
        return DllGetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory, reinterpret_cast<void**>(ppFactory));
    }

    // A handler for the image: the click's result.
    HRESULT Click()
    {
        IShellExtInit* pInit = NULL;
        HRESULT hr = CreateQuorvex_Kestrun(NULL, IID_IShellExtInit, reinterpret_cast<void**>(&pInit));
        if (FAILED(hr))
            return hr;
        CDropDataObject* pData = CDropDataObject::Create({m_image});
        hr = pInit->Initialize(NULL, pData, NULL);
        pData->Release();
        IContextMenu* pMenu = NULL;
        if (SUCCEEDED(hr))
            hr = pInit->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&pMenu));
        if (SUCCEEDED(hr)) {
            CMINVOKECOMMANDINFO info = {};
            info.cbSize = sizeof(info);
            info.lpVerb = MAKEINTRESOURCEA(0);
            hr = pMenu->InvokeCommand(&info);
            pMenu->Release();
        }
        pInit->Release();
        return hr;
    }

    HRESULT CreateHandler(IUnknown* pOuter)
    {
        IClassFactory* pFactory = NULL;
        HRESULT hr = GetFactory(&pFactory);
        if (FAILED(hr))
            return hr;
        void* pv = DANGLING_OUT;
        hr = pFactory->CreateInstance(pOuter, pOuter ? IID_IUnknown : IID_IShellExtInit, &pv);
        pFactory->Release();
        if (pv == DANGLING_OUT || (FAILED(hr) && pv != NULL))
            return E_UNEXPECTED;   // the out-pointer must be null on failure
        if (SUCCEEDED(hr))
            static_cast<IUnknown*>(pv)->Release();
        return hr;
    }

    void RunFaultLoop(const FAULT_CASE& test);

    static void* const DANGLING_OUT;

    CModuleSession m_module;
    CStandinDevice m_device;
    std::string m_image;
};

void* const FaultPaths::DANGLING_OUT = reinterpret_cast<void*>(0x1234);

// An outer object that is never called: aggregation keeps no reference.
class CIdleOuter final : public IUnknown
{
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};

void FaultPaths::RunFaultLoop(const FAULT_CASE& test)
{
    SCOPED_TRACE(test.pszName);
    const unsigned nRuns = LoopSize(test.nQuickRuns, 2000);
    const LONG lLocks = _Module.GetLockCount();
    CBoxCloser boxes;
    CLeakCheck leaks((std::string("fault_") + test.pszName).c_str(),
                     test.pszBox ? BOX_LOOP_TOLERANCE : FAULT_LOOP_TOLERANCE, HANDLE_TOLERANCE);
    {
        CInjectedFault fault(test.pszPoint);
        // Boxes need the longer warm-up (see BOX_LOOP_TOLERANCE).
        ASSERT_TRUE(leaks.StartWhenSteady([&] { return test.run() == test.hrExpected; }, test.pszBox ? 25 : 10,
                                          test.pszBox ? 12 : 10)) << "a warm-up run failed";
        for (unsigned i = 0; i < nRuns; ++i) {
            ASSERT_EQ(test.hrExpected, test.run()) << "run " << i;
            ASSERT_EQ(lLocks, _Module.GetLockCount()) << "run " << i;
        }
        leaks.Finish(nRuns);
    }
    std::map<std::string, unsigned> expected;
    if (test.pszBox != nullptr)
        expected[test.pszBox] = leaks.WarmUpRuns() + nRuns;
    EXPECT_EQ(expected, boxes.Texts());
    EXPECT_EQ(S_OK, test.recover()) << "the path does not work again without the fault";
}

} // namespace

TEST_F(FaultPaths, EachPointReturnsItsCodeAndLeavesNothingBehind)
{
    const std::vector<FAULT_CASE> cases = {
        {"factory_alloc", "factory_alloc", E_OUTOFMEMORY, nullptr, 300,
         [this] {
             IClassFactory* pFactory = reinterpret_cast<IClassFactory*>(DANGLING_OUT);
             HRESULT hr = GetFactory(&pFactory);
             return pFactory == NULL && ObjectMap[0].pCF == NULL ? hr : E_UNEXPECTED;
         },
         [this] { return CreateHandler(NULL); }},
        {"handler_alloc", "handler_alloc", E_OUTOFMEMORY, nullptr, 300, [this] { return CreateHandler(NULL); },
         [this] { return CreateHandler(NULL); }},
        {"aggregated_handler_alloc", "handler_alloc", E_OUTOFMEMORY, nullptr, 300,
         [this] {
             CIdleOuter outer;
             return CreateHandler(&outer);
         },
         [this] {
             CIdleOuter outer;
             return CreateHandler(&outer);
         }},
        {"job_alloc", "job_alloc", E_OUTOFMEMORY, nullptr, 300, [this] { return Click(); }, [this] { return Click(); }},
        {"thread_start", "thread_start", E_FAIL, "Quorvex Kestrun Error!", 150, [this] { return Click(); },
         [this] { return Click(); }},
        {"registrar_create", "registrar_create", E_OUTOFMEMORY, nullptr, 300, [] { return DllRegisterServer(); },
         [] { return DllUnregisterServer(); }},
    };
    for (const FAULT_CASE& test : cases)
        RunFaultLoop(test);

    // Only the recovering clicks reached the device.
    ASSERT_TRUE(m_device.WaitForCalls("Kestrun", 2, 20000));
    Sleep(100);
    EXPECT_EQ(2u, m_device.Calls("Kestrun.begin").size());
}

TEST_F(FaultPaths, ATerminationEntryThatCannotBeAddedIsAddedByTheNextCall)
{
    const std::string path = ProgramDirectory() + "Kestrun_Tool.dll";
    std::wstring widePath(path.begin(), path.end());
    ITypeLib* pTypeLib = NULL;
    ASSERT_EQ(S_OK, LoadTypeLib(widePath.c_str(), &pTypeLib));
    ASSERT_EQ(S_OK, RegisterTypeLib(pTypeLib, &widePath[0], NULL));
    pTypeLib->Release();
    IDispatch* pDispatch = NULL;
    ASSERT_EQ(S_OK, CreateQuorvex_Kestrun(NULL, IID_IDispatch, reinterpret_cast<void**>(&pDispatch)));

    const int nEntries = _Module.GetTermFuncCount();
    ITypeInfo* pInfo = NULL;
    {
        CInjectedFault fault("term_entry_alloc");
        // The type information loads all the same; only its clean-up is
        // not on the termination list yet.
        ASSERT_EQ(S_OK, pDispatch->GetTypeInfo(0, 0, &pInfo));
        EXPECT_EQ(nEntries, _Module.GetTermFuncCount());
    }
    ITypeInfo* pAgain = NULL;
    ASSERT_EQ(S_OK, pDispatch->GetTypeInfo(0, 0, &pAgain));
    EXPECT_EQ(pInfo, pAgain);
    pAgain->Release();
    EXPECT_EQ(nEntries + 1, _Module.GetTermFuncCount()) << "the clean-up was never added";

    // At unload the holder lets its reference go.
    const ULONG nHeld = References(pInfo);
    pDispatch->Release();
    m_module.Restart();
    EXPECT_EQ(nHeld - 1, References(pInfo)) << "the type information outlived the module";
    pInfo->Release();
    for (SYSKIND kind : {SYS_WIN32, SYS_WIN64})
        UnRegisterTypeLib(LIBID_KESTRUN_TOOLLib, 1, 0, 0, kind);
    PrintFigure("fault_term_entry_alloc", "cases=1");
}
