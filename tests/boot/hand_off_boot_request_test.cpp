// The hand-off form: the launcher's registered open command started for the
// file, as the shell opens a file, without waiting for it.

#include "boot_request.h"
#include "message_box_watcher.h"
#include "standin_device.h"

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
    slow.dwLatencyMs = 1500;
    m_device.WriteSettings("0x2000", slow);
    m_device.InstallLauncher();
    const std::string folder = m_device.ToolDirectory() + "my images\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
    const std::string image = folder + "boot.bin";
    ASSERT_TRUE(CopyFileA(m_device.MakeImage("boot.bin", 3000).c_str(), image.c_str(), FALSE));
    m_device.Registration().SetCommand("\"" + m_device.ToolDirectory() + "Kestrun.exe\" \"%1\"");

    const DWORD dwStart = GetTickCount();
    EXPECT_EQ(S_OK, HandOffBootRequest(Widen(image).c_str()));
    EXPECT_LT(GetTickCount() - dwStart, 1000u);
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
    } cases[] = {
        {"no registration", "", E_INVALIDARG, "Read Info Error!"},
        {"a command that never names the file", m_device.ToolDirectory() + "Kestrun.exe", E_INVALIDARG,
         "Read Info Error!"},
        {"a launcher that is not there", "\"" + m_device.ToolDirectory() + "Missing.exe\" \"%1\"",
         HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "Quorvex Kestrun Error!"},
    };
    std::size_t nBoxes = 0;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.pszName);
        if (test.command.empty())
            m_device.Registration().Remove();
        else
            m_device.Registration().SetCommand(test.command);
        EXPECT_EQ(test.hrExpected, HandOffBootRequest(image.c_str()));
        ASSERT_TRUE(m_boxes.WaitForBoxes(++nBoxes, 5000));
        EXPECT_EQ(test.pszMessage, m_boxes.Boxes().back().text);
        EXPECT_EQ(NULL, m_boxes.Boxes().back().hwndOwner);
    }
    EXPECT_TRUE(m_device.Calls().empty());
}
