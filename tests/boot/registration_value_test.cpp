// Hostile values of the launcher's registration (the default value of
// HKCR\Applications\Kestrun.exe\shell\open\command) through both forms of the
// boot request, each with the outcome and message it is documented to give.

#include "boot_request.h"
#include "launcher_registration.h"
#include "message_box_watcher.h"
#include "standin_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

const DWORD UNTOUCHED = 0xDEADBEEF;
const char NOT_CONNECTED[] = "USB device not connected:\nCan't detect the corresponding USB device!";

enum OUTCOME
{
    NO_COMMAND,       // synchronous: false, silent; worker form: "Read Info Error!" without owner
    NO_DIRECTORY,     // both silent
    LOAD_INI_FAILS,   // Load_IniFile refuses the settings path: the not-connected message
    BOOTS,            // booted with the settings found at the expected path
};

struct REGISTRATION_CASE
{
    const char* pszName;
    // Writes the value; returns the settings path the request must hand to
    // Load_IniFile (empty when it must not get that far).
    std::function<std::string(CStandinDevice&)> setValue;
    OUTCOME outcome;
};

std::string Replace(std::string text, char from, char to)
{
    for (char& c : text)
        if (c == from)
            c = to;
    return text;
}

// A folder below the tool folder with a copy of the settings file; returns it
// with its trailing backslash.
std::string SettingsFolder(CStandinDevice& device, const std::string& name)
{
    const std::string folder = device.ToolDirectory() + name + "\\";
    EXPECT_TRUE(CreateDirectoryA(folder.c_str(), NULL)) << folder;
    EXPECT_TRUE(CopyFileA(device.SettingsPath().c_str(), (folder + "LORVANE_SET.INI").c_str(), FALSE)) << folder;
    return folder;
}

// Nested folders below the tool folder up to a path of exactly cch
// characters, with the settings file in the last one.
std::string SettingsFolderOfLength(CStandinDevice& device, std::size_t cch)
{
    std::string folder = device.ToolDirectory();
    while (folder.size() < cch) {
        std::size_t cchName = std::min<std::size_t>(100, cch - folder.size() - 1);
        if (cch - folder.size() - cchName - 1 == 1)   // a last name of nothing
            --cchName;
        folder += std::string(cchName, 'd') + "\\";
        EXPECT_TRUE(CreateDirectoryA(folder.c_str(), NULL)) << folder.size();
    }
    EXPECT_EQ(cch, folder.size());
    EXPECT_TRUE(CopyFileA(device.SettingsPath().c_str(), (folder + "LORVANE_SET.INI").c_str(), FALSE));
    return folder;
}

std::string SetCommand(CStandinDevice& device, const std::string& text)
{
    device.Registration().SetCommand(text);
    return std::string();
}

std::string SetRaw(CStandinDevice& device, DWORD dwType, const std::string& bytes)
{
    device.Registration().SetRaw(dwType, bytes.data(), static_cast<DWORD>(bytes.size()));
    return std::string();
}

// A string value stored without its terminator. The byte after the data must
// not be a zero: the registry counts a zero found there in as the terminator.
std::string SetUnterminated(CStandinDevice& device, const std::string& text)
{
    const std::string followed = text + 'X';
    device.Registration().SetRaw(REG_SZ, followed.data(), static_cast<DWORD>(text.size()));
    return std::string();
}

const std::string LAUNCHER = "Kestrun.exe \"%1\"";

std::vector<REGISTRATION_CASE> Cases()
{
    return {
        {"key without a value", [](CStandinDevice& d) {
             d.Registration().Remove();
             HKEY hKey = NULL;
             EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, LAUNCHER_COMMAND_SUBKEY, 0, NULL, 0,
                                                      KEY_ALL_ACCESS, NULL, &hKey, NULL));
             RegCloseKey(hKey);
             return std::string();
         }, NO_COMMAND},
        {"empty text", [](CStandinDevice& d) { return SetCommand(d, ""); }, NO_COMMAND},
        {"binary value holding a command",
         [](CStandinDevice& d) { return SetRaw(d, REG_BINARY, d.LauncherCommand() + '\0'); }, NO_COMMAND},
        {"multi-string holding a command",
         [](CStandinDevice& d) { return SetRaw(d, REG_MULTI_SZ, d.LauncherCommand() + '\0' + '\0'); }, NO_COMMAND},
        {"untyped value holding a command",
         [](CStandinDevice& d) { return SetRaw(d, REG_NONE, d.LauncherCommand() + '\0'); }, NO_COMMAND},
        {"number", [](CStandinDevice& d) { return SetRaw(d, REG_DWORD, std::string("C:\\\0", 4)); }, NO_COMMAND},
        {"260 characters without terminator, the first 259 a usable command",
         [](CStandinDevice& d) {
             std::string text = d.ToolDirectory() + "Kestrun.exe";
             text += std::string(260 - text.size(), ' ');
             return SetUnterminated(d, text);
         }, NO_COMMAND},
        {"260 characters and the terminator",
         [](CStandinDevice& d) {
             std::string text = d.LauncherCommand();
             return SetCommand(d, text + std::string(260 - text.size(), ' '));
         }, NO_COMMAND},
        {"259 characters and the terminator",
         [](CStandinDevice& d) {
             std::string text = d.ToolDirectory() + "Kestrun.exe";
             SetCommand(d, text + std::string(259 - 5 - text.size(), ' ') + " \"%1\"");
             return d.SettingsPath();
         }, BOOTS},
        {"expandable string", [](CStandinDevice& d) {
             SetRaw(d, REG_EXPAND_SZ, d.LauncherCommand() + '\0');
             return d.SettingsPath();
         }, BOOTS},
        // The shell expands an expandable command before it starts it.
        {"expandable string naming its folder by a variable", [](CStandinDevice& d) {
             SetEnvironmentVariableA("KESTRUN_TOOL", d.ToolDirectory().c_str());
             SetRaw(d, REG_EXPAND_SZ, "\"%KESTRUN_TOOL%Kestrun.exe\" \"%1\"" + std::string(1, '\0'));
             return d.SettingsPath();
         }, BOOTS},
        {"a plain string is not expanded", [](CStandinDevice& d) {
             SetEnvironmentVariableA("KESTRUN_TOOL", d.ToolDirectory().c_str());
             SetCommand(d, "%KESTRUN_TOOL%\\Kestrun.exe \"%1\"");
             return std::string("%KESTRUN_TOOL%\\LORVANE_SET.INI");
         }, LOAD_INI_FAILS},
        {"an expansion longer than the buffer", [](CStandinDevice& d) {
             SetEnvironmentVariableA("KESTRUN_TOOL", (d.ToolDirectory() + std::string(250, 'd') + "\\").c_str());
             SetRaw(d, REG_EXPAND_SZ, "%KESTRUN_TOOL%Kestrun.exe \"%1\"" + std::string(1, '\0'));
             return std::string();
         }, NO_COMMAND},
        {"string without terminator", [](CStandinDevice& d) {
             SetUnterminated(d, d.LauncherCommand());
             return d.SettingsPath();
         }, BOOTS},
        {"text after an embedded terminator is ignored", [](CStandinDevice& d) {
             SetRaw(d, REG_SZ, d.ToolDirectory() + "Kestrun.exe" + '\0' + "D:\\elsewhere\\K.exe \"%1\"" + '\0');
             return d.SettingsPath();
         }, BOOTS},
        {"directory alone", [](CStandinDevice& d) {
             SetCommand(d, d.ToolDirectory());
             return d.SettingsPath();
         }, BOOTS},
        {"launcher path quoted the Windows way", [](CStandinDevice& d) {
             SetCommand(d, "\"" + d.ToolDirectory() + "Kestrun.exe\" \"%1\"");
             return d.SettingsPath();
         }, BOOTS},
        {"quoted long path with blanks", [](CStandinDevice& d) {
             const std::string folder = SettingsFolder(d, "Quorvex Kestrun");
             SetCommand(d, "\"" + folder + "Kestrun.exe\" \"%1\"");
             return folder + "LORVANE_SET.INI";
         }, BOOTS},
        {"only the first of two leading quotes is skipped", [](CStandinDevice& d) {
             SetCommand(d, "\"\"" + d.ToolDirectory() + "Kestrun.exe\"\" \"%1\"");
             return "\"" + d.SettingsPath();
         }, LOAD_INI_FAILS},
        {"backslash alone", [](CStandinDevice& d) {
             SetCommand(d, "\\");
             return std::string("\\LORVANE_SET.INI");
         }, LOAD_INI_FAILS},
        {"forward slashes only",
         [](CStandinDevice& d) { return SetCommand(d, Replace(d.LauncherCommand(), '\\', '/')); }, NO_DIRECTORY},
        {"blanks only", [](CStandinDevice& d) { return SetCommand(d, "   "); }, NO_DIRECTORY},
        {"non-ASCII folder name", [](CStandinDevice& d) {
             const std::string folder = SettingsFolder(d, "t\xE9st \xFC\xDF");
             SetCommand(d, folder + LAUNCHER);
             return folder + "LORVANE_SET.INI";
         }, BOOTS},
        {"a double-byte lead byte before the last backslash", [](CStandinDevice& d) {
             // Bytes 0x95 0x5C: one double-byte character where the ANSI code
             // page is 932, a bullet and a backslash in 1252. The rule cuts
             // after the 0x5C either way.
             const std::string folder = SettingsFolder(d, "dbcs\x95");
             SetCommand(d, folder + LAUNCHER);
             return folder + "LORVANE_SET.INI";
         }, BOOTS},
        {"directory of 244 characters, the longest that fits", [](CStandinDevice& d) {
             const std::string folder = SettingsFolderOfLength(d, 244);
             SetCommand(d, folder + "K.exe \"%1\"");
             return folder + "LORVANE_SET.INI";
         }, BOOTS},
    };
}

class RegistrationValue : public ::testing::Test
{
protected:
    // The calls the stand-in logged: Load_IniFile with settingsPath first,
    // then a transfer exactly when the request booted.
    static void ExpectCalls(const CStandinDevice& device, OUTCOME outcome, const std::string& settingsPath)
    {
        std::vector<STANDIN_CALL> calls = device.Calls();
        if (outcome == NO_COMMAND || outcome == NO_DIRECTORY) {
            EXPECT_TRUE(calls.empty());
            return;
        }
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ("Load_IniFile", calls[0].name);
        EXPECT_EQ(settingsPath, calls[0].fields["settings"]);
        EXPECT_EQ(outcome == BOOTS, calls[0].fields["result"] == "0");
        EXPECT_EQ(outcome == BOOTS ? 1u : 0u, device.Calls("Kestrun").size());
    }

    static void ExpectBox(const CMessageBoxWatcher& boxes, const char* pszText, HWND hwndOwner)
    {
        if (pszText == nullptr) {
            EXPECT_TRUE(boxes.Boxes().empty());
            return;
        }
        ASSERT_TRUE(boxes.WaitForBoxes(1, 5000));
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(pszText, boxes.Boxes()[0].text);
        EXPECT_EQ(hwndOwner, boxes.Boxes()[0].hwndOwner);
    }
};

// A top-level window to own messages, as Explorer's window would.
class COwner
{
public:
    COwner() : m_hwnd(CreateWindowA("STATIC", "owner", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL, NULL, NULL)) {}
    ~COwner() { DestroyWindow(m_hwnd); }
    HWND Get() const { return m_hwnd; }

private:
    HWND m_hwnd;
};

} // namespace

TEST_F(RegistrationValue, SynchronousRequest)
{
    for (const REGISTRATION_CASE& test : Cases()) {
        SCOPED_TRACE(test.pszName);
        CStandinDevice device;
        CMessageBoxWatcher boxes;
        const std::string image = device.MakeImage("boot.bin", 100);
        const std::string settingsPath = test.setValue(device);

        DWORD dwAddress = UNTOUCHED;
        EXPECT_EQ(test.outcome == BOOTS, RunBootRequest(image.c_str(), &dwAddress) != FALSE);
        EXPECT_EQ(test.outcome == BOOTS ? 0x8000u : UNTOUCHED, dwAddress);
        ExpectCalls(device, test.outcome, settingsPath);
        ExpectBox(boxes, test.outcome == LOAD_INI_FAILS ? NOT_CONNECTED : nullptr, NULL);
    }
}

TEST_F(RegistrationValue, WorkerRequest)
{
    COwner owner;
    for (const REGISTRATION_CASE& test : Cases()) {
        SCOPED_TRACE(test.pszName);
        CStandinDevice device;
        CMessageBoxWatcher boxes;
        const std::string image = device.MakeImage("boot.bin", 100);
        const std::string settingsPath = test.setValue(device);

        DWORD dwAddress = UNTOUCHED;
        EXPECT_EQ(test.outcome == BOOTS ? S_OK : E_INVALIDARG, StartBootRequest(image.c_str(), owner.Get(), &dwAddress));
        EXPECT_EQ(test.outcome == BOOTS ? 0x8000u : UNTOUCHED, dwAddress);
        if (test.outcome == BOOTS) {
            ASSERT_TRUE(device.WaitForCalls("Kestrun", 1, 20000));
        }
        ExpectCalls(device, test.outcome, settingsPath);
        switch (test.outcome) {
        case NO_COMMAND:
            ExpectBox(boxes, "Read Info Error!", NULL);
            break;
        case LOAD_INI_FAILS:
            ExpectBox(boxes, NOT_CONNECTED, owner.Get());
            break;
        case NO_DIRECTORY:
        case BOOTS:
            ExpectBox(boxes, nullptr, NULL);
            break;
        }
    }
}
