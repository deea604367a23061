// Kestrun.exe as the shell starts it: a real process, its exit code, its
// message boxes and what reached the stand-in device.

#include "message_box_watcher.h"
#include "child_process.h"
#include "standin_device.h"
#include "text_file.h"

#include <gtest/gtest.h>

namespace {

const DWORD EXIT_BOOTED = 0;
const DWORD EXIT_REFUSED = 0x80070057;   // E_INVALIDARG

class LauncherProcess : public ::testing::Test
{
protected:
    // Runs the launcher with lpCmdLine following its quoted path and a blank,
    // as the shell's open command does.
    DWORD Run(const std::string& arguments)
    {
        const std::string launcher = ProgramDirectory() + "Kestrun.exe";
        CChildProcess process;
        EXPECT_TRUE(process.Start(launcher, "\"" + launcher + "\" " + arguments));
        m_boxes.SetProcessId(process.ProcessId());
        return process.Wait(30000);
    }
    static std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

    CStandinDevice m_device;
    CMessageBoxWatcher m_boxes{0};
};

} // namespace

TEST_F(LauncherProcess, BootsAQuotedImageAndEndsWithZero)
{
    const std::string image = m_device.MakeImage("boot.bin", 20000);
    EXPECT_EQ(EXIT_BOOTED, Run(Quoted(image)));
    std::vector<DEVICE_RECORD> records = m_device.DeviceRecords();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(image, records[0].image);
    EXPECT_EQ(0x8000u, records[0].address);
    EXPECT_EQ(20000u, records[0].bytes);
    EXPECT_TRUE(m_boxes.Boxes().empty());

    const std::string upper = m_device.MakeImage("Boot.BIN", 10);
    EXPECT_EQ(EXIT_BOOTED, Run(Quoted(upper)));
}

TEST_F(LauncherProcess, RefusesWhatIsNotABootImageWithoutTouchingAnything)
{
    const std::string image = m_device.MakeImage("boot.bin", 10);
    const std::string refused[] = {
        Quoted(m_device.MakeImage("boot.Bin", 10)),
        Quoted(m_device.MakeImage("boot.txt", 10)),
        image,                    // unquoted: loses its first and last character
        Quoted(image) + " ",      // the closing quote becomes part of the path
        "", "x", "\"\"",
    };
    for (const std::string& arguments : refused)
        EXPECT_EQ(EXIT_REFUSED, Run(arguments)) << arguments;
    EXPECT_TRUE(m_device.Calls().empty());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(LauncherProcess, RefusesACommandLineLongerThan260Characters)
{
    // 260 characters: a 258-character path, booted.
    const std::string name258 = std::string(258 - m_device.ToolDirectory().size() - 4, 'n') + ".bin";
    const std::string image258 = m_device.ToolDirectory() + name258;
    ASSERT_EQ(258u, image258.size());
    ASSERT_TRUE(WriteTextFile(image258, "image"));
    EXPECT_EQ(EXIT_BOOTED, Run(Quoted(image258)));
    ASSERT_EQ(1u, m_device.DeviceRecords().size());
    EXPECT_EQ(image258, m_device.DeviceRecords()[0].image);

    // 261 characters: cut to 260 it would name another file; never booted.
    const std::string image259 = image258.substr(0, image258.size() - 4) + "n.bin";
    ASSERT_TRUE(WriteTextFile(image259, "image"));
    const std::size_t nCallsBefore = m_device.Calls().size();
    EXPECT_EQ(EXIT_REFUSED, Run(Quoted(image259)));
    EXPECT_EQ(EXIT_REFUSED, Run(Quoted(image258) + std::string(3000, ' ')));
    EXPECT_EQ(nCallsBefore, m_device.Calls().size());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(LauncherProcess, ReportsAFailedBootAndEndsWithInvalidArg)
{
    EXPECT_EQ(EXIT_REFUSED, Run(Quoted(m_device.ToolDirectory() + "missing.bin")));
    ASSERT_TRUE(m_boxes.WaitForBoxes(1, 5000));
    EXPECT_EQ(BOX_CAPTION, m_boxes.Boxes()[0].caption);
    EXPECT_EQ("Quorvex Kestrun Error!", m_boxes.Boxes()[0].text);
    EXPECT_EQ(NULL, m_boxes.Boxes()[0].hwndOwner);
}

TEST_F(LauncherProcess, ReportsANotConnectedDevice)
{
    m_device.Disconnect();
    EXPECT_EQ(EXIT_REFUSED, Run(Quoted(m_device.MakeImage("boot.bin", 10))));
    ASSERT_TRUE(m_boxes.WaitForBoxes(1, 5000));
    EXPECT_EQ("USB device not connected:\nCan't detect the corresponding USB device!", m_boxes.Boxes()[0].text);
    EXPECT_EQ(NULL, m_boxes.Boxes()[0].hwndOwner);
    EXPECT_TRUE(m_device.Calls("Kestrun.begin").empty());
}

TEST_F(LauncherProcess, FailsSilentlyWithoutRegistration)
{
    m_device.Registration().Remove();
    EXPECT_EQ(EXIT_REFUSED, Run(Quoted(m_device.MakeImage("boot.bin", 10))));
    EXPECT_TRUE(m_device.Calls().empty());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}
