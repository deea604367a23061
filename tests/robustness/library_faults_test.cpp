// The fault points again, in the real library built with the fault switch,
// loaded and unloaded as a host does: after each failure nothing holds the
// library, so it leaves the process the moment its host lets it go.

#include "Kestrun_Tool_i.h"
#include "box_closer.h"
#include "com_checks.h"
#include "injected_fault.h"
#include "kestrun_ids.h"
#include "message_box_watcher.h"
#include "process_figures.h"
#include "standin_device.h"
#include "text_file.h"
#include "tool_library.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <functional>
#include <map>

namespace {

const char FAULTS_LIBRARY[] = "Kestrun_Tool_faults.dll";
const std::string CLASS_KEY = "CLSID\\{" KESTRUN_CLSID_TEXT "}";
const std::string TYPELIB_KEY = "TypeLib\\{" KESTRUN_LIBID_TEXT "}";
const std::string HANDLER_KEY = "*\\ShellEx\\ContextMenuHandlers\\Quorvex_Kestrun";

class LibraryFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_device.WriteSettings("0x8000");
        m_image = m_device.MakeImage("boot.bin", 64);
        ASSERT_EQ(S_OK, CoInitializeEx(NULL, COINIT_APARTMENTTHREADED));
    }
    void TearDown() override { CoUninitialize(); }

    // One load, the failing call, release and unload; the library must be
    // gone at once.
    ::testing::AssertionResult FailingRun(const std::function<HRESULT(CToolLibrary&)>& call, HRESULT hrExpected)
    {
        CToolLibrary library(FAULTS_LIBRARY);
        if (!library.Load())
            return ::testing::AssertionFailure() << "not loaded";
        const HRESULT hr = call(library);
        if (hr != hrExpected)
            return ::testing::AssertionFailure() << "result 0x" << std::hex << hr;
        if (library.CanUnloadNow() != S_OK)
            return ::testing::AssertionFailure() << "the library asks to stay";
        library.Unload();
        if (library.IsInProcess())
            return ::testing::AssertionFailure() << "something still holds the library";
        return ::testing::AssertionSuccess();
    }

    HRESULT Click(CToolLibrary& library)
    {
        IShellExtInit* pInit = NULL;
        HRESULT hr = library.CreateHandler(&pInit);
        if (FAILED(hr))
            return hr;
        hr = ClickOn(pInit, m_image);
        pInit->Release();
        return hr;
    }

    CStandinDevice m_device;
    std::string m_image;
};

} // namespace

TEST_F(LibraryFaults, EachFailureLetsTheLibraryGoAtOnce)
{
    struct FAULT_CASE
    {
        const char* pszPoint;
        HRESULT hrExpected;
        const char* pszBox;
        std::function<HRESULT(CToolLibrary&)> call;
    };
    const FAULT_CASE cases[] = {
        {"factory_alloc", E_OUTOFMEMORY, nullptr,
         [](CToolLibrary& library) {
             void* pv = NULL;
             return library.GetClassObject(CLSID_Quorvex_Kestrun, IID_IClassFactory, &pv);
         }},
        {"handler_alloc", E_OUTOFMEMORY, nullptr,
         [](CToolLibrary& library) {
             IShellExtInit* pInit = NULL;
             return library.CreateHandler(&pInit);
         }},
        {"job_alloc", E_OUTOFMEMORY, nullptr, [this](CToolLibrary& library) { return Click(library); }},
        {"thread_start", E_FAIL, "Quorvex Kestrun Error!", [this](CToolLibrary& library) { return Click(library); }},
    };
    const unsigned nRuns = LoopSize(40, 400);
    for (const FAULT_CASE& test : cases) {
        SCOPED_TRACE(test.pszPoint);
        CBoxCloser boxes;
        // The platform's growth for its first boxes, as in the in-process
        // loop (fault_injection_test.cpp).
        CLeakCheck leaks((std::string("library_fault_") + test.pszPoint).c_str(),
                         test.pszBox ? 256 * 1024 : 32 * 1024, 2);
        {
            CInjectedFault fault(test.pszPoint);
            ASSERT_TRUE(leaks.StartWhenSteady([&] { return static_cast<bool>(FailingRun(test.call, test.hrExpected)); },
                                              10, 10)) << "a warm-up run failed";
            for (unsigned i = 0; i < nRuns; ++i)
                ASSERT_TRUE(FailingRun(test.call, test.hrExpected)) << "run " << i;
            leaks.Finish(nRuns);
        }
        std::map<std::string, unsigned> expected;
        if (test.pszBox != nullptr)
            expected[test.pszBox] = leaks.WarmUpRuns() + nRuns;
        EXPECT_EQ(expected, boxes.Texts());
    }
    Sleep(100);
    EXPECT_TRUE(m_device.Calls("Kestrun.begin").empty());
}

TEST_F(LibraryFaults, ARegistrarThatCannotBeCreatedWritesNothing)
{
    CToolLibrary library(FAULTS_LIBRARY);
    ASSERT_TRUE(library.Load());
    {
        CInjectedFault fault("registrar_create");
        EXPECT_EQ(E_OUTOFMEMORY, library.RegisterServer());
        for (const std::string& key : {CLASS_KEY, TYPELIB_KEY, HANDLER_KEY})
            EXPECT_FALSE(KeyExists(key)) << key;
        EXPECT_EQ(S_OK, library.UnregisterServer());
    }
    // Without the fault the same library registers and unregisters.
    EXPECT_EQ(S_OK, library.RegisterServer());
    for (const std::string& key : {CLASS_KEY, TYPELIB_KEY, HANDLER_KEY})
        EXPECT_TRUE(KeyExists(key)) << key;
    EXPECT_EQ(S_OK, library.UnregisterServer());
    for (const std::string& key : {CLASS_KEY, TYPELIB_KEY, HANDLER_KEY})
        EXPECT_FALSE(KeyExists(key)) << key;
}

TEST_F(LibraryFaults, TypeInformationLoadedWithoutItsCleanUpIsReleasedAtUnload)
{
    CToolLibrary library(FAULTS_LIBRARY);
    ASSERT_TRUE(library.Load());
    ASSERT_EQ(S_OK, library.RegisterServer());
    IShellExtInit* pInit = NULL;
    ASSERT_EQ(S_OK, library.CreateHandler(&pInit));
    IDispatch* pDispatch = NULL;
    ASSERT_EQ(S_OK, pInit->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&pDispatch)));
    pInit->Release();

    ITypeInfo* pInfo = NULL;
    {
        CInjectedFault fault("term_entry_alloc");
        ASSERT_EQ(S_OK, pDispatch->GetTypeInfo(0, 0, &pInfo));
    }
    ITypeInfo* pAgain = NULL;
    ASSERT_EQ(S_OK, pDispatch->GetTypeInfo(0, 0, &pAgain));
    pAgain->Release();
    const ULONG nHeld = References(pInfo);
    pDispatch->Release();
    EXPECT_EQ(S_OK, library.UnregisterServer());
    library.Unload();
    ASSERT_FALSE(library.IsInProcess());
    EXPECT_EQ(nHeld - 1, References(pInfo)) << "the type information outlived the library";
    pInfo->Release();
}
