// The worker-thread boot request, end to end with the stand-in boot library.

#include "boot_request.h"
#include "injected_fault.h"
#include "owner_window.h"
#include "message_box_watcher.h"
#include "standin_device.h"
#include "text_file.h"
#include "time_scale.h"

#include <gtest/gtest.h>

namespace {

const DWORD UNTOUCHED = 0xDEADBEEF;

class StartBootRequestTest : public ::testing::Test
{
protected:
    void WaitForTransfers(std::size_t nTransfers)
    {
        ASSERT_TRUE(m_device.WaitForCalls("Kestrun", nTransfers, 20000));
    }

    CStandinDevice m_device;
    CMessageBoxWatcher m_boxes;
    COwnerWindow m_owner;
    DWORD m_dwAddress = UNTOUCHED;
};

} // namespace

TEST_F(StartBootRequestTest, ReturnsBeforeASlowTransferThatRunsOnAWorker)
{
    STANDIN_TIMING slow;
    slow.dwLatencyMs = ScaledMs(1500);
    m_device.WriteSettings("0x1234", slow);
    const std::string image = m_device.MakeImage("boot.bin", 5000);

    const DWORD dwStart = GetTickCount();
    ASSERT_EQ(S_OK, StartBootRequest(image.c_str(), m_owner.Get(), &m_dwAddress));
    const DWORD dwElapsed = GetTickCount() - dwStart;
    EXPECT_LT(dwElapsed, ScaledMs(1000));
    EXPECT_EQ(0x1234u, m_dwAddress);
    EXPECT_TRUE(m_device.Calls("Kestrun").empty()) << "returned only after the transfer";

    WaitForTransfers(1);
    std::vector<STANDIN_CALL> calls = m_device.Calls();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ("Load_IniFile", calls[0].name);
    EXPECT_EQ(GetCurrentThreadId(), calls[0].ThreadId());
    EXPECT_EQ("Kestrun", calls[2].name);
    EXPECT_NE(GetCurrentThreadId(), calls[2].ThreadId());
    EXPECT_EQ(image, calls[2].fields["image"]);
    EXPECT_EQ("0x00001234", calls[2].fields["address"]);
    EXPECT_EQ("0", calls[2].fields["result"]);
    ASSERT_EQ(1u, m_device.DeviceRecords().size());
    EXPECT_EQ(5000u, m_device.DeviceRecords()[0].bytes);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(StartBootRequestTest, TwoRequestsGiveTwoConcurrentTransfers)
{
    STANDIN_TIMING slow;
    slow.dwLatencyMs = ScaledMs(1000);
    m_device.WriteSettings("0x10", slow);
    const std::string first = m_device.MakeImage("first.bin", 3000);
    const std::string second = m_device.MakeImage("second.bin", 4000);

    const DWORD dwStart = GetTickCount();
    ASSERT_EQ(S_OK, StartBootRequest(first.c_str(), m_owner.Get(), &m_dwAddress));
    ASSERT_EQ(S_OK, StartBootRequest(second.c_str(), m_owner.Get(), &m_dwAddress));
    WaitForTransfers(2);
    // Serialised they would take two seconds.
    EXPECT_LT(GetTickCount() - dwStart, ScaledMs(1900));

    std::vector<STANDIN_CALL> transfers = m_device.Calls("Kestrun");
    EXPECT_NE(transfers[0].ThreadId(), transfers[1].ThreadId());
    std::set<std::string> images = {transfers[0].fields["image"], transfers[1].fields["image"]};
    EXPECT_EQ((std::set<std::string>{first, second}), images);
}

TEST_F(StartBootRequestTest, A259CharacterPathReachesTheWorkerWhole)
{
    std::string image = m_device.MakeImage("x.bin", 10);
    const std::string name = std::string(259 - m_device.ToolDirectory().size() - 4, 'n') + ".bin";
    const std::string longImage = m_device.ToolDirectory() + name;
    ASSERT_EQ(259u, longImage.size());
    ASSERT_TRUE(CopyFileA(image.c_str(), longImage.c_str(), FALSE));

    ASSERT_EQ(S_OK, StartBootRequest(longImage.c_str(), m_owner.Get(), &m_dwAddress));
    WaitForTransfers(1);
    STANDIN_CALL transfer = m_device.Calls("Kestrun")[0];
    EXPECT_EQ(longImage, transfer.fields["image"]);
    EXPECT_EQ("259", transfer.fields["length"]);
    EXPECT_EQ("0", transfer.fields["result"]);
}

TEST_F(StartBootRequestTest, MissingRegistrationShowsReadInfoError)
{
    m_device.Registration().Remove();
    EXPECT_EQ(E_INVALIDARG, StartBootRequest("C:\\img\\boot.bin", m_owner.Get(), &m_dwAddress));
    ASSERT_TRUE(m_boxes.WaitForBoxes(1, 5000));
    OBSERVED_BOX box = m_boxes.Boxes()[0];
    EXPECT_EQ(BOX_CAPTION, box.caption);
    EXPECT_EQ("Read Info Error!", box.text);
    EXPECT_EQ(NULL, box.hwndOwner);
    EXPECT_TRUE(box.bWarningIcon);
    EXPECT_EQ(1, box.nButtons);
    EXPECT_TRUE(m_device.Calls().empty());
    EXPECT_EQ(UNTOUCHED, m_dwAddress);
}

TEST_F(StartBootRequestTest, ATooLongToolDirectoryIsUnreadableToolInformation)
{
    m_device.Registration().SetCommand("C:\\" + std::string(241, 'd') + "\\Kestrun.exe \"%1\"");
    EXPECT_EQ(E_INVALIDARG, StartBootRequest("C:\\img\\boot.bin", m_owner.Get(), &m_dwAddress));
    ASSERT_TRUE(m_boxes.WaitForBoxes(1, 5000));
    EXPECT_EQ("Read Info Error!", m_boxes.Boxes()[0].text);
    EXPECT_EQ(NULL, m_boxes.Boxes()[0].hwndOwner);
    EXPECT_TRUE(m_device.Calls().empty());
}

TEST_F(StartBootRequestTest, ACommandWithoutBackslashFailsSilently)
{
    m_device.Registration().SetCommand("Kestrun.exe \"%1\"");
    EXPECT_EQ(E_INVALIDARG, StartBootRequest("C:\\img\\boot.bin", m_owner.Get(), &m_dwAddress));
    Sleep(100);
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_TRUE(m_device.Calls().empty());
}

TEST_F(StartBootRequestTest, NotConnectedIsOwnedByTheInvokingWindow)
{
    m_device.Disconnect();
    EXPECT_EQ(E_INVALIDARG, StartBootRequest("C:\\img\\boot.bin", m_owner.Get(), &m_dwAddress));
    EXPECT_EQ(UNTOUCHED, m_dwAddress);
    ASSERT_TRUE(m_boxes.WaitForBoxes(1, 5000));
    OBSERVED_BOX box = m_boxes.Boxes()[0];
    EXPECT_EQ("USB device not connected:\nCan't detect the corresponding USB device!", box.text);
    EXPECT_EQ(m_owner.Get(), box.hwndOwner);
    EXPECT_TRUE(box.bWarningIcon);
    EXPECT_EQ(1u, m_device.Calls().size());
    EXPECT_TRUE(m_device.Calls("Kestrun.begin").empty());
}

TEST_F(StartBootRequestTest, AFailedTransferIsReportedByTheWorkerWithoutOwner)
{
    const std::string missing = m_device.ToolDirectory() + "missing.bin";
    ASSERT_EQ(S_OK, StartBootRequest(missing.c_str(), m_owner.Get(), &m_dwAddress));
    ASSERT_TRUE(m_boxes.WaitForBoxes(1, 10000));
    OBSERVED_BOX box = m_boxes.Boxes()[0];
    EXPECT_EQ("Quorvex Kestrun Error!", box.text);
    EXPECT_EQ(NULL, box.hwndOwner);
    EXPECT_NE(GetCurrentThreadId(), box.dwThreadId);
    EXPECT_NE("0", m_device.Calls("Kestrun")[0].fields["result"]);
}

TEST_F(StartBootRequestTest, AJobBlockThatCannotBeAllocatedStartsNothing)
{
    const std::string image = m_device.MakeImage("boot.bin", 10);
    {
        CInjectedFault fault("job_alloc");
        EXPECT_EQ(E_OUTOFMEMORY, StartBootRequest(image.c_str(), m_owner.Get(), &m_dwAddress));
    }
    Sleep(300);
    EXPECT_TRUE(m_device.Calls("Kestrun.begin").empty());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(StartBootRequestTest, AWorkerThatCannotStartIsReportedAsAFailure)
{
    const std::string image = m_device.MakeImage("boot.bin", 10);
    {
        CInjectedFault fault("thread_start");
        EXPECT_EQ(E_FAIL, StartBootRequest(image.c_str(), m_owner.Get(), &m_dwAddress));
    }
    ASSERT_TRUE(m_boxes.WaitForBoxes(1, 5000));
    OBSERVED_BOX box = m_boxes.Boxes()[0];
    EXPECT_EQ("Quorvex Kestrun Error!", box.text);
    EXPECT_EQ(NULL, box.hwndOwner);
    EXPECT_EQ(GetCurrentThreadId(), box.dwThreadId);
    Sleep(300);
    EXPECT_TRUE(m_device.Calls("Kestrun.begin").empty());

    // Nothing was left half-done: the next request works.
    ASSERT_EQ(S_OK, StartBootRequest(image.c_str(), m_owner.Get(), &m_dwAddress));
    WaitForTransfers(1);
}
