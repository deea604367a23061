// Hostile settings files: the forms of DnLoadAddr as the platform's profile
// reader takes them (observed under Wine), files in odd shapes, and files
// that are missing, empty or held open by someone else, through the
// download address and through both forms of the boot request.

#include "boot_request.h"
#include "download_address.h"
#include "message_box_watcher.h"
#include "standin_device.h"
#include "temp_dir.h"
#include "text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const DWORD UNTOUCHED = 0xDEADBEEF;
const char NOT_CONNECTED[] = "USB device not connected:\nCan't detect the corresponding USB device!";

// A file held open by another party for as long as it lives.
class CHeldFile
{
public:
    CHeldFile(const std::string& path, DWORD dwShareMode)
        : m_hFile(CreateFileA(path.c_str(), GENERIC_READ, dwShareMode, NULL, OPEN_EXISTING, 0, NULL))
    {
    }
    ~CHeldFile()
    {
        if (m_hFile != INVALID_HANDLE_VALUE)
            CloseHandle(m_hFile);
    }
    CHeldFile(const CHeldFile&) = delete;
    CHeldFile& operator=(const CHeldFile&) = delete;
    bool IsHeld() const { return m_hFile != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_hFile;
};

// Each read gets a file of its own, so none can be answered from the profile
// reader's cache of an earlier one.
class SettingsFile : public ::testing::Test
{
protected:
    std::string Write(const std::string& content)
    {
        const std::string path = m_dir / ("settings" + std::to_string(++m_nFiles) + ".ini");
        EXPECT_TRUE(WriteTextFile(path, content));
        return path;
    }
    DWORD Read(const std::string& content) { return ReadDownloadAddress(Write(content).c_str()); }

    CTempDir m_dir;
    int m_nFiles = 0;
};

// The text as UTF-16 with its byte-order mark.
std::string Utf16(const std::string& text)
{
    std::string bytes = "\xFF\xFE";
    for (char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

std::string WithNul(const std::string& before, const std::string& after)
{
    return before + '\0' + after;
}

struct ADDRESS_CASE
{
    std::string value;
    DWORD dwExpected;
};

} // namespace

TEST_F(SettingsFile, DownloadAddressForms)
{
    const ADDRESS_CASE cases[] = {
        // Signs and prefixes: only lower-case "0x", "0o" and "0b" are taken.
        {"+42", 42},
        {"+0x10", 0x10},
        {"-0x10", 0xFFFFFFF0},
        {"0X8000", 0},
        {"0b1010", 10},
        {"0B11", 0},
        {"0o17", 15},
        {"010", 10},              // a leading zero is not octal
        // Beyond 32 bits the value wraps.
        {"2147483648", 0x80000000},
        {"-2147483649", 0x7FFFFFFF},
        {"4294967296", 0},
        {"99999999999", 0x4876E7FF},
        {"0x1FFFFFFFF", 0xFFFFFFFF},
        // What surrounds the digits.
        {"\t42", 42},
        {"42 ; comment", 42},
        {"\"42\"", 42},
        {"'42'", 42},
        {"0x8000 junk", 0x8000},
        {"1e3", 1},
        {"   ", 0},
        // Rejected outright.
        {"--1", 0},
        {"- 5", 0},
        {"x10", 0},
        {"0xG", 0},
        // Only the first 29 characters of the value are looked at.
        {std::string(27, '0') + "42", 42},
        {std::string(28, '0') + "42", 4},
        {"0x" + std::string(31, '0') + "80", 0},
    };
    for (const ADDRESS_CASE& test : cases)
        EXPECT_EQ(test.dwExpected, Read("[QUORVEX_KESTRUN]\r\nDnLoadAddr=" + test.value + "\r\n")) << test.value;
}

TEST_F(SettingsFile, FileShapes)
{
    const ADDRESS_CASE cases[] = {
        {"[quorvex_kestrun]\r\ndnloadaddr=5\r\n", 5},                  // names in any case
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr = 5\r\n", 5},
        {"[ QUORVEX_KESTRUN ]\r\nDnLoadAddr=5\r\n", 5},
        {"[QUORVEX_KESTRUN]\r\n  DnLoadAddr=5\r\n", 5},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=5\r\nDnLoadAddr=6\r\n", 5},   // the first key counts
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=5\r\n[QUORVEX_KESTRUN]\r\nDnLoadAddr=6\r\n", 5},
        {"[QUORVEX_KESTRUN]\nDnLoadAddr=5\n", 5},
        {"[QUORVEX_KESTRUN]\rDnLoadAddr=5\r", 5},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr=5", 5},
        {"\xEF\xBB\xBF[QUORVEX_KESTRUN]\r\nDnLoadAddr=5\r\n", 5},
        {Utf16("[QUORVEX_KESTRUN]\r\nDnLoadAddr=9\r\n"), 9},
        {"[QUORVEX_KESTRUN]\r\n;DnLoadAddr=5\r\n", 0},
        {"[QUORVEX_KESTRUN]\r\nDnLoadAddr\r\n", 0},
        {"DnLoadAddr=5\r\n", 0},                                        // outside any section
        {"[QUORVEX_KESTRUN\r\nDnLoadAddr=5\r\n", 0},
        {WithNul("[QUORVEX_KESTRUN]\r\nDnLoadAddr=5", "6\r\n"), 5},
    };
    for (const ADDRESS_CASE& test : cases)
        EXPECT_EQ(test.dwExpected, Read(test.value)) << test.value;
}

TEST_F(SettingsFile, HeldOpenBySomeoneElse)
{
    // Read once before, so a cached copy could be served.
    const std::string path = Write("[QUORVEX_KESTRUN]\r\nDnLoadAddr=5\r\n");
    EXPECT_EQ(5u, ReadDownloadAddress(path.c_str()));
    const struct
    {
        DWORD dwShareMode;
        DWORD dwExpected;
    } cases[] = {
        {0, 0},                                    // not shared: unreadable, as if absent
        {FILE_SHARE_WRITE, 0},
        {FILE_SHARE_READ, 5},
        {FILE_SHARE_READ | FILE_SHARE_WRITE, 5},
    };
    for (const auto& test : cases) {
        CHeldFile held(path, test.dwShareMode);
        ASSERT_TRUE(held.IsHeld());
        EXPECT_EQ(test.dwExpected, ReadDownloadAddress(path.c_str())) << "share mode " << test.dwShareMode;
    }
}

namespace {

class SettingsForRequest : public ::testing::Test
{
protected:
    // A top-level window to own messages, as Explorer's window would.
    HWND Owner()
    {
        if (m_hwndOwner == NULL)
            m_hwndOwner = CreateWindowA("STATIC", "owner", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
        return m_hwndOwner;
    }
    ~SettingsForRequest() override
    {
        if (m_hwndOwner != NULL)
            DestroyWindow(m_hwndOwner);
    }

    HWND m_hwndOwner = NULL;
};

// Only Load_IniFile was called, with the settings path, and it failed.
void ExpectStoppedAtLoadIniFile(const CStandinDevice& device)
{
    std::vector<STANDIN_CALL> calls = device.Calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ("Load_IniFile", calls[0].name);
    EXPECT_EQ(device.SettingsPath(), calls[0].fields["settings"]);
    EXPECT_NE("0", calls[0].fields["result"]);
}

void ExpectOneBox(const CMessageBoxWatcher& boxes, HWND hwndOwner)
{
    ASSERT_TRUE(boxes.WaitForBoxes(1, 5000));
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(NOT_CONNECTED, boxes.Boxes()[0].text);
    EXPECT_EQ(hwndOwner, boxes.Boxes()[0].hwndOwner);
}

struct UNREADABLE_CASE
{
    const char* pszName;
    void (*spoil)(CStandinDevice& device);
};

const UNREADABLE_CASE UNREADABLE_CASES[] = {
    {"missing", [](CStandinDevice& d) { ASSERT_TRUE(DeleteFileA(d.SettingsPath().c_str())); }},
    {"empty", [](CStandinDevice& d) { ASSERT_TRUE(WriteTextFile(d.SettingsPath(), "")); }},
    {"a folder in its place", [](CStandinDevice& d) {
         ASSERT_TRUE(DeleteFileA(d.SettingsPath().c_str()));
         ASSERT_TRUE(CreateDirectoryA(d.SettingsPath().c_str(), NULL));
     }},
};

} // namespace

TEST_F(SettingsForRequest, UnreadableSettingsStopAtLoadIniFile)
{
    for (const UNREADABLE_CASE& test : UNREADABLE_CASES) {
        SCOPED_TRACE(test.pszName);
        {
            CStandinDevice device;
            CMessageBoxWatcher boxes;
            test.spoil(device);
            DWORD dwAddress = UNTOUCHED;
            EXPECT_FALSE(RunBootRequest(device.MakeImage("boot.bin", 10).c_str(), &dwAddress));
            EXPECT_EQ(UNTOUCHED, dwAddress);
            ExpectStoppedAtLoadIniFile(device);
            ExpectOneBox(boxes, NULL);
        }
        {
            CStandinDevice device;
            CMessageBoxWatcher boxes;
            test.spoil(device);
            DWORD dwAddress = UNTOUCHED;
            EXPECT_EQ(E_INVALIDARG, StartBootRequest(device.MakeImage("boot.bin", 10).c_str(), Owner(), &dwAddress));
            EXPECT_EQ(UNTOUCHED, dwAddress);
            ExpectStoppedAtLoadIniFile(device);
            ExpectOneBox(boxes, Owner());
        }
    }
}

TEST_F(SettingsForRequest, SettingsHeldWithoutSharingStopAtLoadIniFile)
{
    {
        CStandinDevice device;
        CMessageBoxWatcher boxes;
        CHeldFile held(device.SettingsPath(), 0);
        ASSERT_TRUE(held.IsHeld());
        EXPECT_FALSE(RunBootRequest(device.MakeImage("boot.bin", 10).c_str(), NULL));
        ExpectStoppedAtLoadIniFile(device);
        ExpectOneBox(boxes, NULL);
    }
    {
        CStandinDevice device;
        CMessageBoxWatcher boxes;
        CHeldFile held(device.SettingsPath(), 0);
        ASSERT_TRUE(held.IsHeld());
        EXPECT_EQ(E_INVALIDARG, StartBootRequest(device.MakeImage("boot.bin", 10).c_str(), Owner(), NULL));
        ExpectStoppedAtLoadIniFile(device);
        ExpectOneBox(boxes, Owner());
    }
}

TEST_F(SettingsForRequest, SettingsOpenForReadingElsewhereStillBoot)
{
    CStandinDevice device;
    CMessageBoxWatcher boxes;
    CHeldFile held(device.SettingsPath(), FILE_SHARE_READ);
    ASSERT_TRUE(held.IsHeld());
    DWORD dwAddress = UNTOUCHED;
    EXPECT_TRUE(RunBootRequest(device.MakeImage("boot.bin", 10).c_str(), &dwAddress));
    EXPECT_EQ(0x8000u, dwAddress);

    dwAddress = UNTOUCHED;
    EXPECT_EQ(S_OK, StartBootRequest(device.MakeImage("boot.bin", 10).c_str(), Owner(), &dwAddress));
    EXPECT_EQ(0x8000u, dwAddress);
    ASSERT_TRUE(device.WaitForCalls("Kestrun", 2, 20000));
    for (const STANDIN_CALL& call : device.Calls("Kestrun"))
        EXPECT_EQ("0", call.fields.at("result"));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(SettingsForRequest, TheAddressAsReadIsWhatTheLibraryGets)
{
    const struct
    {
        const char* pszValue;
        const char* pszAddress;
    } cases[] = {
        {"-1", "0xFFFFFFFF"},
        {"0X80008000", "0x00000000"},   // an upper-case prefix is not taken
        {"0x80008000 ; the usual", "0x80008000"},
    };
    for (const auto& test : cases) {
        CStandinDevice device;
        device.WriteSettings(test.pszValue);
        ASSERT_TRUE(RunBootRequest(device.MakeImage("boot.bin", 10).c_str(), NULL)) << test.pszValue;
        ASSERT_EQ(1u, device.Calls("Kestrun").size());
        EXPECT_EQ(test.pszAddress, device.Calls("Kestrun")[0].fields["address"]) << test.pszValue;
    }
}
