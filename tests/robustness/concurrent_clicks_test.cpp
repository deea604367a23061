// Thirty-two clicks at once on the real library, unloaded by its host while
// every transfer still runs: thirty-two transfers on thirty-two workers, each
// with its own path and address intact, and the library leaves the process
// only after the last.

#include "message_box_watcher.h"
#include "process_figures.h"
#include "standin_device.h"
#include "text_file.h"
#include "time_scale.h"
#include "tool_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <thread>
#include <vector>

namespace {

const unsigned CLICKS = 32;

class ConcurrentClicks : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_library.Load());
        // GoogleTest starts a thread of its own the first time a test thread
        // reports anything (a failure, a trace): start it before counting.
        { SCOPED_TRACE("baseline"); }
        m_nThreadsBefore = ThreadCount();
        m_threadsBefore = DescribeThreads();
    }

    // A 259-character image path of its own for each click, with contents
    // of their own.
    std::vector<std::string> MakeImages()
    {
        std::vector<std::string> images;
        const std::string seed = m_device.MakeImage("seed.bin", 1);
        const std::string folder = seed.substr(0, seed.rfind('\\') + 1);
        for (unsigned i = 0; i < CLICKS; ++i) {
            std::string name = std::to_string(i) + "-";
            name += std::string(259 - folder.size() - name.size() - 4, static_cast<char>('a' + i % 26)) + ".bin";
            images.push_back(m_device.MakeImage(name, 1000 + 37 * i));
            EXPECT_EQ(259u, images.back().size());
        }
        return images;
    }

    void ExpectEveryTransferIntact(const std::vector<std::string>& images,
                                   const std::map<std::string, std::string>& addressOf)
    {
        ASSERT_TRUE(m_device.WaitForCalls("Kestrun", CLICKS, 60000));
        std::vector<STANDIN_CALL> transfers = m_device.Calls("Kestrun");
        ASSERT_EQ(CLICKS, transfers.size());
        std::set<std::string> seen;
        std::set<DWORD> workers;
        for (STANDIN_CALL& transfer : transfers) {
            EXPECT_EQ("0", transfer.fields["result"]) << transfer.fields["image"];
            EXPECT_EQ("259", transfer.fields["length"]);
            ASSERT_EQ(1u, addressOf.count(transfer.fields["image"])) << "a path arrived changed";
            EXPECT_EQ(addressOf.at(transfer.fields["image"]), transfer.fields["address"]);
            seen.insert(transfer.fields["image"]);
            workers.insert(transfer.ThreadId());
        }
        EXPECT_EQ(std::set<std::string>(images.begin(), images.end()), seen);
        EXPECT_EQ(CLICKS, workers.size()) << "transfers shared a worker";

        // All ran at once: every transfer had begun before the first ended.
        std::vector<STANDIN_CALL> calls = m_device.Calls();
        std::size_t nBegunBeforeFirstEnd = 0;
        std::string lateWorkers;
        bool bEnded = false;
        for (STANDIN_CALL& call : calls) {
            bEnded = bEnded || call.name == "Kestrun";
            if (call.name == "Kestrun.begin" && !bEnded)
                ++nBegunBeforeFirstEnd;
            else if (call.name == "Kestrun.begin")
                lateWorkers += " " + call.fields["tid"];
        }
        EXPECT_EQ(CLICKS, nBegunBeforeFirstEnd) << "began after the first transfer ended:" << lateWorkers;

        // Every image arrived whole.
        std::vector<DEVICE_RECORD> records = m_device.DeviceRecords();
        ASSERT_EQ(CLICKS, records.size());
        for (const DEVICE_RECORD& record : records) {
            std::string expected;
            ASSERT_TRUE(ReadTextFile(record.image, &expected));
            EXPECT_EQ(expected, m_device.ArrivedBytes(record)) << record.image;
        }
    }

    // The library leaves once the last worker is done, and the workers end.
    void ExpectLibraryAndWorkersGone()
    {
        EXPECT_NE(MAXDWORD, m_library.WaitUntilGone(ScaledMs(5000))) << "the library outlived the transfers";
        const DWORD dwStart = GetTickCount();
        while (ThreadCount() > m_nThreadsBefore && GetTickCount() - dwStart < ScaledMs(5000))
            Sleep(10);
        EXPECT_LE(ThreadCount(), m_nThreadsBefore)
            << "workers outlived their transfers; before:" << m_threadsBefore << " now:" << DescribeThreads();
        EXPECT_TRUE(m_boxes.Boxes().empty());
    }

    CStandinDevice m_device;
    CMessageBoxWatcher m_boxes;
    CToolLibrary m_library{"Kestrun_Tool.dll"};
    DWORD m_nThreadsBefore = 0;
    std::string m_threadsBefore;
};

} // namespace

TEST_F(ConcurrentClicks, ThirtyTwoHostThreadsClickAtOnce)
{
    // Long enough that the last of 32 workers has begun before the first
    // ends, also when an emulated machine stalls the process for seconds.
    STANDIN_TIMING slow;
    slow.dwLatencyMs = ScaledMs(3000);
    m_device.WriteSettings("0x00200000", slow);
    const std::vector<std::string> images = MakeImages();

    // Each host thread has its own handler, initialised and waiting.
    HANDLE hGo = CreateEventA(NULL, TRUE, FALSE, NULL);
    std::vector<HRESULT> results(CLICKS, E_UNEXPECTED);
    std::vector<std::thread> hosts;
    for (unsigned i = 0; i < CLICKS; ++i) {
        hosts.emplace_back([&, i] {
            IShellExtInit* pInit = NULL;
            results[i] = m_library.CreateHandler(&pInit);
            if (FAILED(results[i]))
                return;
            WaitForSingleObject(hGo, INFINITE);
            results[i] = ClickOn(pInit, images[i]);
            pInit->Release();
        });
    }
    Sleep(200);
    const DWORD dwStart = GetTickCount();
    SetEvent(hGo);
    for (std::thread& host : hosts)
        host.join();
    const DWORD dwClicksMs = GetTickCount() - dwStart;
    CloseHandle(hGo);
    for (HRESULT hr : results)
        EXPECT_EQ(S_OK, hr);

    EXPECT_EQ(S_OK, m_library.CanUnloadNow());
    m_library.Unload();
    EXPECT_TRUE(m_library.IsInProcess()) << "unloaded while transfers run";

    std::map<std::string, std::string> addressOf;
    for (const std::string& image : images)
        addressOf[image] = "0x00200000";
    ExpectEveryTransferIntact(images, addressOf);
    ExpectLibraryAndWorkersGone();
    PrintFigure("concurrent_clicks", "host_threads=" + std::to_string(CLICKS) + " transfers=" +
                                         std::to_string(m_device.Calls("Kestrun").size()) +
                                         " clicks_ms=" + std::to_string(dwClicksMs));
}

TEST_F(ConcurrentClicks, ThirtyTwoClicksCarryTheirOwnAddresses)
{
    STANDIN_TIMING slow;
    slow.dwLatencyMs = ScaledMs(2500);
    const std::vector<std::string> images = MakeImages();

    // One host thread clicks 32 times while the settings change under it:
    // each worker must keep the address its own click read.
    std::map<std::string, std::string> addressOf;
    IShellExtInit* pInit = NULL;
    for (unsigned i = 0; i < CLICKS; ++i) {
        char szAddress[16];
        std::snprintf(szAddress, sizeof(szAddress), "0x%08X", 0x10000u * (i + 1) + i);
        m_device.WriteSettings(szAddress, slow);
        addressOf[images[i]] = szAddress;
        ASSERT_EQ(S_OK, m_library.CreateHandler(&pInit));
        EXPECT_EQ(S_OK, ClickOn(pInit, images[i]));
        pInit->Release();
    }
    m_library.Unload();
    ExpectEveryTransferIntact(images, addressOf);
    ExpectLibraryAndWorkersGone();
    PrintFigure("concurrent_clicks", "distinct_addresses=" + std::to_string(CLICKS) + " transfers=" +
                                         std::to_string(m_device.Calls("Kestrun").size()));
}
