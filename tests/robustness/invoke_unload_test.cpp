// The real library through a thousand invoke-and-unload cycles with slow
// transfers: each cycle loads it, clicks, unloads it while the transfer
// runs, and watches the library leave the process and the worker's thread
// end once the transfer is over. Quick size by default, KESTRUN_FULL=1 for
// the full one.

#include "message_box_watcher.h"
#include "process_figures.h"
#include "standin_device.h"
#include "tool_library.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// How long after its transfer a worker may still hold the library or run.
const DWORD LINGER_BOUND_MS = 2000;

class InvokeUnload : public ::testing::Test
{
protected:
    void SetUp() override
    {
        STANDIN_TIMING slow;
        slow.dwLatencyMs = 30;
        m_device.WriteSettings("0x4000", slow);
        m_image = m_device.MakeImage("boot.bin", 2048);
    }

    // One cycle; false (with a message) at the first thing that went wrong.
    ::testing::AssertionResult Cycle(unsigned nCycle)
    {
        DeleteFileA(m_device.CallLogPath().c_str());
        const DWORD nThreadsBefore = ThreadCount();
        CToolLibrary library("Kestrun_Tool.dll");
        if (!library.Load())
            return ::testing::AssertionFailure() << "cycle " << nCycle << ": not loaded";
        IShellExtInit* pInit = NULL;
        HRESULT hr = library.CreateHandler(&pInit);
        if (hr == S_OK) {
            hr = ClickOn(pInit, m_image);
            pInit->Release();
        }
        if (hr != S_OK)
            return ::testing::AssertionFailure() << "cycle " << nCycle << ": click 0x" << std::hex << hr;
        if (library.CanUnloadNow() != S_OK)
            return ::testing::AssertionFailure() << "cycle " << nCycle << ": the library asks to stay";
        library.Unload();
        if (m_device.Calls("Kestrun").empty())
            ++m_nUnloadedDuringTransfer;

        if (!m_device.WaitForCalls("Kestrun", 1, 20000))
            return ::testing::AssertionFailure() << "cycle " << nCycle << ": no transfer";
        const DWORD dwGoneMs = library.WaitUntilGone(LINGER_BOUND_MS);
        if (dwGoneMs == MAXDWORD)
            return ::testing::AssertionFailure() << "cycle " << nCycle << ": the library outlived its transfer";
        const DWORD dwStart = GetTickCount();
        while (ThreadCount() > nThreadsBefore) {
            if (GetTickCount() - dwStart > LINGER_BOUND_MS)
                return ::testing::AssertionFailure() << "cycle " << nCycle << ": the worker outlived its transfer";
            Sleep(1);
        }
        m_dwLongestLingerMs = std::max(m_dwLongestLingerMs, std::max(dwGoneMs, GetTickCount() - dwStart));

        const STANDIN_CALL transfer = m_device.Calls("Kestrun")[0];
        if (transfer.fields.at("result") != "0" || transfer.fields.at("image") != m_image ||
            transfer.fields.at("address") != "0x00004000")
            return ::testing::AssertionFailure() << "cycle " << nCycle << ": transfer " << transfer.fields.at("image")
                                                 << " at " << transfer.fields.at("address") << " gave "
                                                 << transfer.fields.at("result");
        // The device keeps each arrived image: make room for the next.
        for (const DEVICE_RECORD& record : m_device.DeviceRecords())
            DeleteFileA((m_device.DeviceDirectory() + "\\" + record.file).c_str());
        DeleteFileA((m_device.DeviceDirectory() + "\\device.log").c_str());
        return ::testing::AssertionSuccess();
    }

    CStandinDevice m_device;
    CMessageBoxWatcher m_boxes;
    std::string m_image;
    unsigned m_nUnloadedDuringTransfer = 0;
    DWORD m_dwLongestLingerMs = 0;
};

} // namespace

TEST_F(InvokeUnload, NoWorkerOutlivesItsTransferAndNothingIsLeft)
{
    const unsigned nCycles = LoopSize(150, 1000);
    // A job block per cycle is 264 bytes: 40 KiB over the quick size and
    // 264 KiB over the full one; the heap block count catches it exactly.
    CLeakCheck leaks("invoke_unload_cycles", 32 * 1024, 2);
    unsigned nWarmUp = 0;
    ASSERT_TRUE(leaks.StartWhenSteady([&] { return static_cast<bool>(Cycle(nWarmUp++)); }, 10, 10))
        << "a warm-up run failed";
    m_nUnloadedDuringTransfer = 0;
    m_dwLongestLingerMs = 0;
    for (unsigned i = 0; i < nCycles; ++i)
        ASSERT_TRUE(Cycle(i));
    leaks.Finish(nCycles);

    EXPECT_TRUE(m_boxes.Boxes().empty());
    // The latency is there so the unload falls inside the transfer.
    EXPECT_GT(m_nUnloadedDuringTransfer, nCycles / 2);
    PrintFigure("invoke_unload_linger", "cycles=" + std::to_string(nCycles) +
                                            " unloaded_during_transfer=" + std::to_string(m_nUnloadedDuringTransfer) +
                                            " longest_linger_ms=" + std::to_string(m_dwLongestLingerMs) +
                                            " bound_ms=" + std::to_string(LINGER_BOUND_MS));
}
