// Settings files a host's file system may hold, through a click: missing,
// empty, locked, and DnLoadAddr in every form the profile reader takes and
// some it rejects. The address that reaches the device is the one the
// platform's reader gives, taken as unsigned 32-bit.

#include "case_table.h"
#include "drop_data_object.h"
#include "message_box_watcher.h"
#include "module_session.h"
#include "owner_window.h"
#include "quorvex_kestrun.h"
#include "standin_device.h"
#include "text_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

const char NOT_CONNECTED[] = "USB device not connected:\nCan't detect the corresponding USB device!";
// The reader's own answer for the file; used where the platform defines it.
const DWORD PLATFORM = 0xFFFFFFFE;

class HostileSettings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CreateQuorvex_Kestrun(NULL, IID_IShellExtInit, reinterpret_cast<void**>(&m_pInit)));
        m_image = m_device.MakeImage("boot.bin", 64);
        CDropDataObject* pData = CDropDataObject::Create({m_image});
        ASSERT_EQ(S_OK, m_pInit->Initialize(NULL, pData, NULL));
        pData->Release();
        ASSERT_EQ(S_OK, m_pInit->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&m_pMenu)));
    }
    void TearDown() override
    {
        m_pMenu->Release();
        m_pInit->Release();
    }

    HRESULT Click()
    {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.hwnd = m_owner.Get();
        info.lpVerb = MAKEINTRESOURCEA(0);
        return m_pMenu->InvokeCommand(&info);
    }

    // The settings the stand-in needs, with the tool's section as given.
    std::string Settings(const std::string& toolSection) const
    {
        return toolSection + "[LORVANE_STANDIN]\r\nDeviceDir=" + m_device.DeviceDirectory() + "\r\n";
    }

    CModuleSession m_module;
    CStandinDevice m_device;
    CMessageBoxWatcher m_boxes;
    COwnerWindow m_owner;
    IShellExtInit* m_pInit = NULL;
    IContextMenu* m_pMenu = NULL;
    std::string m_image;
};

} // namespace

TEST_F(HostileSettings, EveryFormOfTheDownloadAddress)
{
    struct ADDRESS_CASE
    {
        const char* pszSection;   // the tool's section, as written
        DWORD dwExpected;
    };
    const ADDRESS_CASE cases[] = {
        {"", 0},
        {"[QUORVEX_KESTRUN]\r\n", 0},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=\r\n", 0},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=32768\r\n", 0x8000},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=0x8000\r\n", 0x8000},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=0x80008000\r\n", 0x80008000},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=0xFFFFFFFF\r\n", 0xFFFFFFFF},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=4294967295\r\n", 0xFFFFFFFF},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=-1\r\n", 0xFFFFFFFF},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=-4096\r\n", 0xFFFFF000},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=+7\r\n", 7},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=   42\r\n", 42},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=42   \r\n", 42},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr = 42\r\n", 42},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=\"4096\"\r\n", 4096},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=010\r\n", 10},
        {"[QUORVEX_KESTRUN]\r\ndnloadaddr=5\r\n", 5},
        {"[quorvex_kestrun]\r\nDNLOADADDR=6\r\n", 6},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=12abc\r\n", 12},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=garbage\r\n", 0},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=0x\r\n", 0},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=-\r\n", 0},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=0xZZ\r\n", 0},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=x10\r\n", 0},
        {"[OTHER]\r\nDnLoadAddr=9\r\n", 0},
        {"[QUORVEX_KESTRUN]\r\nOther=9\r\n", 0},
        {"[QUORVEX_KESTRUN_OLD]\r\nDnLoadAddr=3\r\n[QUORVEX_KESTRUN]\r\nDnLoadAddr=7\r\n", 7},
        // Forms whose meaning the platform's reader defines.
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=0X10\r\n", PLATFORM},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=0b101\r\n", PLATFORM},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=0o17\r\n", PLATFORM},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=4294967296\r\n", PLATFORM},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=99999999999999999999\r\n", PLATFORM},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=-2147483649\r\n", PLATFORM},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=0x1 ; comment\r\n", PLATFORM},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=1\r\nDnLoadAddr=2\r\n", PLATFORM},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=\t0x20\t\r\n", PLATFORM},
        {"[QUORVEX_KESTRUN]\nDnLoadAddr=0x30\n", PLATFORM},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=0x00000000000000000000000000000000000000000040\r\n", PLATFORM},
    };

    std::string platformAnswers;
    std::size_t nTransfers = 0;
    for (const ADDRESS_CASE& test : cases) {
        SCOPED_TRACE(test.pszSection);
        ASSERT_TRUE(WriteTextFile(m_device.SettingsPath(), Settings(test.pszSection)));
        DWORD dwExpected = test.dwExpected;
        if (dwExpected == PLATFORM) {
            dwExpected = static_cast<DWORD>(
                GetPrivateProfileIntA("QUORVEX_KESTRUN", "DnLoadAddr", 0, m_device.SettingsPath().c_str()));
            char szForm[16];
            std::snprintf(szForm, sizeof(szForm), "0x%lX", dwExpected);
            platformAnswers += std::string(platformAnswers.empty() ? "" : ",") + szForm;
        }
        ASSERT_EQ(S_OK, Click());
        ++nTransfers;
        ASSERT_TRUE(m_device.WaitForCalls("Kestrun", nTransfers, 20000));
        char szAddress[16];
        std::snprintf(szAddress, sizeof(szAddress), "0x%08lX", dwExpected);
        STANDIN_CALL transfer = m_device.Calls("Kestrun")[nTransfers - 1];
        EXPECT_EQ(szAddress, transfer.fields["address"]);
        EXPECT_EQ(m_image, transfer.fields["image"]);
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
    const std::size_t nCases = sizeof(cases) / sizeof(cases[0]);
    PrintFigure("hostile_cases", "table=download_address_forms cases=" + std::to_string(nCases) +
                                     " platform_answers=" + platformAnswers);
}

TEST_F(HostileSettings, UnreadableSettingsAreANotConnectedDevice)
{
    // The boot library cannot prepare from a file it cannot read: the
    // request ends before any transfer, with the message owned by the window.
    struct FILE_CASE
    {
        const char* pszName;
        void (*make)(const std::string& path);
    };
    const FILE_CASE cases[] = {
        {"missing", [](const std::string& path) { DeleteFileA(path.c_str()); }},
        {"empty", [](const std::string& path) { WriteTextFile(path, ""); }},
        {"a folder", [](const std::string& path) {
             DeleteFileA(path.c_str());
             CreateDirectoryA(path.c_str(), NULL);
         }},
        {"binary junk",
         [](const std::string& path) {
             WriteTextFile(path, std::string("\0\xFF\xFE[\0\r\n=", 8) + std::string(70000, '\x01'));
         }},
    };
    std::size_t nBoxes = 0;
    for (const FILE_CASE& test : cases) {
        SCOPED_TRACE(test.pszName);
        test.make(m_device.SettingsPath());
        EXPECT_EQ(E_INVALIDARG, Click());
        ASSERT_TRUE(m_boxes.WaitForBoxes(++nBoxes, 5000));
        EXPECT_EQ(NOT_CONNECTED, m_boxes.Boxes().back().text);
        EXPECT_EQ(m_owner.Get(), m_boxes.Boxes().back().hwndOwner);
        RemoveDirectoryA(m_device.SettingsPath().c_str());
    }

    // Locked by another program for the length of the click.
    m_device.WriteSettings("0x8000");
    HANDLE hLock = CreateFileA(m_device.SettingsPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hLock);
    EXPECT_EQ(E_INVALIDARG, Click());
    ASSERT_TRUE(m_boxes.WaitForBoxes(++nBoxes, 5000));
    EXPECT_EQ(NOT_CONNECTED, m_boxes.Boxes().back().text);
    CloseHandle(hLock);

    // Readable again: the next click boots.
    EXPECT_EQ(S_OK, Click());
    ASSERT_TRUE(m_device.WaitForCalls("Kestrun", 1, 20000));
    EXPECT_EQ("0x00008000", m_device.Calls("Kestrun")[0].fields["address"]);
    EXPECT_EQ(1u, m_device.Calls("Kestrun.begin").size());
    PrintFigure("hostile_cases", "table=settings_files cases=" + std::to_string(sizeof(cases) / sizeof(cases[0]) + 2));
}
