// The whole Explorer sequence against the registered library: activation by
// class ID through the registry, a shell data object for a real file, the
// menu, the click, and the unload while the boot completes.

#include "message_box_watcher.h"
#include "child_process.h"
#include "standin_device.h"
#include "text_file.h"

#include <gtest/gtest.h>

namespace {

DWORD RunHost(const std::string& file)
{
    const std::string host = ProgramDirectory() + "explorer_host.exe";
    CChildProcess process;
    if (!process.Start(host, "\"" + host + "\" \"" + file + "\""))
        return 0xFFFFFFFF;
    return process.Wait(60000);
}

class ExplorerSequence : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(0u, Regsvr32("/s")); }
    void TearDown() override { Regsvr32("/u /s"); }

    static DWORD Regsvr32(const std::string& arguments)
    {
        const std::string regsvr32 = "C:\\windows\\system32\\regsvr32.exe";
        CChildProcess process;
        process.Start(regsvr32, "\"" + regsvr32 + "\" " + arguments + " \"" + ProgramDirectory() + "Kestrun_Tool.dll\"");
        return process.Wait(60000);
    }

    CStandinDevice m_device;
    CMessageBoxWatcher m_boxes{0};
};

} // namespace

TEST_F(ExplorerSequence, ARightClickOnABootImageBootsTheDevice)
{
    STANDIN_TIMING timing;
    timing.dwRateBytesPerSecond = 512 * 1024;
    m_device.WriteSettings("0x00100000", timing);
    const std::string image = m_device.MakeImage("firmware.bin", 256 * 1024);

    EXPECT_EQ(0u, RunHost(image));

    std::vector<DEVICE_RECORD> records = m_device.DeviceRecords();
    ASSERT_EQ(1u, records.size()) << "the host waits for the extension to leave, so the boot is over";
    EXPECT_EQ(image, records[0].image);
    EXPECT_EQ(0x00100000u, records[0].address);
    std::string expected;
    ASSERT_TRUE(ReadTextFile(image, &expected));
    EXPECT_EQ(expected, m_device.ArrivedBytes(records[0]));

    std::vector<STANDIN_CALL> calls = m_device.Calls();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ("Load_IniFile", calls[0].name);
    EXPECT_NE(calls[0].ThreadId(), calls[2].ThreadId()) << "the transfer runs on a worker";
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ExplorerSequence, OtherFilesGetNoItem)
{
    EXPECT_EQ(1u, RunHost(m_device.MakeImage("readme.txt", 10)));
    EXPECT_TRUE(m_device.Calls().empty());
}
