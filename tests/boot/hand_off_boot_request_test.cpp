// The hand-off form: the launcher's registered open command started for the
// file, as the shell opens a file, without waiting for it.

#include "boot_request.h"
#include "message_box_watcher.h"
#include "standin_device.h"
#include "time_scale.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

class HandOffBootRequestTest : public ::testing::Test
{
protected:
    CStandinDevice m_device;
    CMessageBoxWatcher m_boxes;
};

} // namespace

TEST_F(HandOffBootRequestTest, StartsOneLauncherWithTheQuotedPathAndReturnsAtOnce)
{
    STANDIN_TIMING slow;
    slow.dwLatencyMs = ScaledMs(1500);
    m_device.WriteSettings("0x2000", slow);
    m_device.InstallLauncher();
    const std::string folder = m_device.ToolDirectory() + "my images\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
    const std::string image = folder + "boot.bin";
    ASSERT_TRUE(CopyFileA(m_device.MakeImage("boot.bin", 3000).c_str(), image.c_str(), FALSE));
    // Registered as an installation may write it, by an environment
    // variable the shell expands.
    SetEnvironmentVariableA("KESTRUN_TOOL", m_device.ToolDirectory().c_str());
    const std::string command = "\"%KESTRUN_TOOL%Kestrun.exe\" \"%1\"";
    m_device.Registration().SetRaw(REG_EXPAND_SZ, command.c_str(), static_cast<DWORD>(command.size() + 1));

    const DWORD dwStart = GetTickCount();
    EXPECT_EQ(S_OK, HandOffBootRequest(Widen(image).c_str()));
    EXPECT_LT(GetTickCount() - dwStart, ScaledMs(1000));
    EXPECT_TRUE(m_device.Calls("Kestrun").empty()) << "waited for the launcher";

    ASSERT_TRUE(m_device.WaitForCalls("Kestrun", 1, 20000));
    std::set<std::string> processes;
    for (const STANDIN_CALL& call : m_device.Calls())
        processes.insert(call.fields.at("pid"));
    EXPECT_EQ(1u, processes.size());
    EXPECT_EQ(0u, processes.count(std::to_string(GetCurrentProcessId())));
    ASSERT_EQ(1u, m_device.DeviceRecords().size());
    EXPECT_EQ(image, m_device.DeviceRecords()[0].image);
    EXPECT_EQ(0x2000u, m_device.DeviceRecords()[0].address);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(HandOffBootRequestTest, ReportsAnUnusableRegistrationAndAnUnstartableLauncher)
{
    const std::wstring image = Widen(m_device.MakeImage("boot.bin", 10));
    const struct
    {
        const char* pszName;
        std::string command;   // empty: no value at all
        HRESULT hrExpected;
        const char* pszMessage;
        const char* pszCurrentFolder = ".";   // relative to the tool folder
    } cases[] = {
        {"no registration", "", E_INVALIDARG, "Read Info Error!"},
        {"a command that never names the file", m_device.ToolDirectory() + "Kestrun.exe", E_INVALIDARG,
         "Read Info Error!"},
        {"a launcher that is not there", "\"" + m_device.ToolDirectory() + "gone\\Kestrun.exe\" \"%1\"",
         HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), "Quorvex Kestrun Error!"},
        {"another program", "\"" + m_device.ToolDirectory() + "Kestrun2.exe\" \"%1\"", E_INVALIDARG,
         "Read Info Error!"},
        // Each would start a planted program: the first word of a path with
        // blanks, or a launcher found along the search path (the current
        // folder first).
        {"an unquoted path with blanks", m_device.ToolDirectory() + "with blanks\\Kestrun.exe \"%1\"", E_INVALIDARG,
         "Read Info Error!"},
        {"a bare name", "Kestrun.exe \"%1\"", E_INVALIDARG, "Read Info Error!"},
        {"a relative path", "tool\\Kestrun.exe \"%1\"", E_INVALIDARG, "Read Info Error!", ".."},
    };
    // The planted programs would boot the device (the stand-in is beside them).
    m_device.InstallLauncher();
    const std::string launcher = m_device.ToolDirectory() + "Kestrun.exe";
    ASSERT_TRUE(CopyFileA(launcher.c_str(), (m_device.ToolDirectory() + "with.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(launcher.c_str(), (m_device.ToolDirectory() + "Kestrun2.exe").c_str(), FALSE));
    char szCurrent[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, szCurrent);
    std::size_t nBoxes = 0;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.pszName);
        if (test.command.empty())
            m_device.Registration().Remove();
        else
            m_device.Registration().SetCommand(test.command);
        SetCurrentDirectoryA((m_device.ToolDirectory() + test.pszCurrentFolder).c_str());
        EXPECT_EQ(test.hrExpected, HandOffBootRequest(image.c_str()));
        SetCurrentDirectoryA(szCurrent);
        ASSERT_TRUE(m_boxes.WaitForBoxes(++nBoxes, 5000));
        EXPECT_EQ(test.pszMessage, m_boxes.Boxes().back().text);
        EXPECT_EQ(NULL, m_boxes.Boxes().back().hwndOwner);
    }
    Sleep(ScaledMs(2000));
    EXPECT_TRUE(m_device.Calls().empty()) << "a planted program was started";
}
