// The synchronous boot request, end to end with the stand-in boot library.

#include "boot_request.h"
#include "message_box_watcher.h"
#include "standin_device.h"
#include "text_file.h"

#include <gtest/gtest.h>

namespace {

const DWORD UNTOUCHED = 0xDEADBEEF;

class RunBootRequestTest : public ::testing::Test
{
protected:
    CStandinDevice m_device;
    CMessageBoxWatcher m_boxes;
    DWORD m_dwAddress = UNTOUCHED;
};

} // namespace

TEST_F(RunBootRequestTest, BootsOnTheCallingThreadInOrder)
{
    const std::string image = m_device.MakeImage("boot.bin", 10000);
    ASSERT_TRUE(RunBootRequest(image.c_str(), &m_dwAddress));
    EXPECT_EQ(0x8000u, m_dwAddress);

    std::vector<STANDIN_CALL> calls = m_device.Calls();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ("Load_IniFile", calls[0].name);
    EXPECT_EQ(m_device.SettingsPath(), calls[0].fields["settings"]);
    EXPECT_EQ("Kestrun.begin", calls[1].name);
    EXPECT_EQ("Kestrun", calls[2].name);
    EXPECT_EQ(image, calls[2].fields["image"]);
    EXPECT_EQ("0x00008000", calls[2].fields["address"]);
    EXPECT_EQ("0", calls[2].fields["result"]);
    for (const STANDIN_CALL& call : calls)
        EXPECT_EQ(GetCurrentThreadId(), call.ThreadId());

    std::vector<DEVICE_RECORD> records = m_device.DeviceRecords();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(0x8000u, records[0].address);
    EXPECT_EQ(10000u, records[0].bytes);
    std::string expected;
    ASSERT_TRUE(ReadTextFile(image, &expected));
    EXPECT_EQ(expected, m_device.ArrivedBytes(records[0]));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(RunBootRequestTest, BootsAtZeroWithoutAddressInTheSettings)
{
    m_device.WriteSettings("");
    const std::string image = m_device.MakeImage("boot.bin", 100);
    ASSERT_TRUE(RunBootRequest(image.c_str(), &m_dwAddress));
    EXPECT_EQ(0u, m_dwAddress);
    ASSERT_EQ(1u, m_device.DeviceRecords().size());
    EXPECT_EQ(0u, m_device.DeviceRecords()[0].address);
}

TEST_F(RunBootRequestTest, FailsSilentlyWithoutUsableRegistration)
{
    const std::string image = m_device.MakeImage("boot.bin", 100);
    const std::string tooLong = "C:\\" + std::string(241, 'd') + "\\Kestrun.exe \"%1\"";   // directory of 245

    for (const std::string& command : {std::string(), std::string("Kestrun.exe \"%1\""), tooLong}) {
        if (command.empty())
            m_device.Registration().Remove();
        else
            m_device.Registration().SetCommand(command);
        EXPECT_FALSE(RunBootRequest(image.c_str(), &m_dwAddress)) << command;
    }
    EXPECT_EQ(UNTOUCHED, m_dwAddress);
    EXPECT_TRUE(m_device.Calls().empty());
    Sleep(100);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(RunBootRequestTest, NotConnectedNeverReachesKestrunNorReadsTheAddress)
{
    m_device.Disconnect();
    const std::string image = m_device.MakeImage("boot.bin", 100);
    EXPECT_FALSE(RunBootRequest(image.c_str(), &m_dwAddress));
    EXPECT_EQ(UNTOUCHED, m_dwAddress);

    std::vector<STANDIN_CALL> calls = m_device.Calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ("Load_IniFile", calls[0].name);
    EXPECT_NE("0", calls[0].fields["result"]);

    ASSERT_TRUE(m_boxes.WaitForBoxes(1, 5000));
    OBSERVED_BOX box = m_boxes.Boxes()[0];
    EXPECT_EQ(BOX_CAPTION, box.caption);
    EXPECT_EQ("USB device not connected:\nCan't detect the corresponding USB device!", box.text);
    EXPECT_EQ(NULL, box.hwndOwner);
    EXPECT_TRUE(box.bWarningIcon);
    EXPECT_EQ(1, box.nButtons);
}

TEST_F(RunBootRequestTest, ReportsAFailedTransfer)
{
    const std::string missing = m_device.ToolDirectory() + "missing.bin";
    EXPECT_FALSE(RunBootRequest(missing.c_str(), &m_dwAddress));
    EXPECT_EQ(0x8000u, m_dwAddress);
    ASSERT_EQ(1u, m_device.Calls("Kestrun").size());
    EXPECT_NE("0", m_device.Calls("Kestrun")[0].fields["result"]);

    ASSERT_TRUE(m_boxes.WaitForBoxes(1, 5000));
    OBSERVED_BOX box = m_boxes.Boxes()[0];
    EXPECT_EQ(BOX_CAPTION, box.caption);
    EXPECT_EQ("Quorvex Kestrun Error!", box.text);
    EXPECT_EQ(NULL, box.hwndOwner);
    EXPECT_TRUE(box.bWarningIcon);
    EXPECT_EQ(GetCurrentThreadId(), box.dwThreadId);
}
