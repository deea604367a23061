// The file the user chose, by its true name, through every way in: the
// launcher started as the shell starts it, the extension's click in a host
// that plays Explorer (the 32-bit library's form), the 64-bit library's
// hand-off to the launcher, its packaged verb in a host that plays Windows
// 11's menu, and the console program started by a script. The boot library
// gets exactly the chosen file, spelled by its true name when the ANSI code
// page can spell it and by its short name otherwise, or nothing at all; never
// the file a look-alike spelling names (the decoys below).

#include "child_process.h"
#include "com_checks.h"
#include "kestrun_ids.h"
#include "message_box_watcher.h"
#include "standin_device.h"
#include "text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const DWORD EXIT_REFUSED = 0x80070057;   // E_INVALIDARG
const DWORD CONSOLE_NOT_AN_IMAGE = 3;     // KestrunBoot.exe: not a boot image, or no name to pass
const DWORD HOST_BOOTED = 0;
const DWORD HOST_NO_ITEM = 1;
const char NAME_REFUSAL[] = "This file's name cannot be passed to the boot library.\nRename it.";

enum NAME_OUTCOME
{
    BY_TRUE_NAME,    // the true name's ANSI form reaches the library
    BY_SHORT_NAME,   // the short name's does
    NAME_REFUSED,    // nothing does; the launcher says why (the console program on its
                     // standard error), the menu has no item
    NOT_AN_IMAGE,    // the boot-file rule, applied to the true name, refuses it
};

struct CHOSEN_NAME
{
    const wchar_t* pszImage;   // below the images folder; made with the UTF-16 file API
    const wchar_t* pszDecoy;   // where the code page's look-alike spelling points, or null
    NAME_OUTCOME outcome;
    bool bExists;              // false: never made, so it has no short name either
};

// Code page 1252, Wine's default.
const CHOSEN_NAME NAMES_1252[] = {
    {L"plain\\boot.bin", nullptr, BY_TRUE_NAME, true},
    {L"\x00E9\\boot.bin", L"e\\boot.bin", BY_TRUE_NAME, true},            // é is in the code page
    {L"\x0100\\boot.bin", L"A\\boot.bin", BY_SHORT_NAME, true},           // Ā would be A
    {L"up\\in\\..\xFF3C..\xFF3Cx.bin", L"x.bin", BY_SHORT_NAME, true},    // fullwidth \ would be \: two folders up
    {L"a\x2215" L"b.bin", L"a\\b.bin", BY_SHORT_NAME, true},              // division slash would be /
    {L"\x674E\\boot.bin", nullptr, BY_SHORT_NAME, true},                  // 李 would be ?
    {L"x.binary", nullptr, NOT_AN_IMAGE, true},                           // short name X~....BIN
    {L"gone\\\x674E.bin", nullptr, NAME_REFUSED, false},
};

// Code page 932: a double-byte code page.
const CHOSEN_NAME NAMES_932[] = {
    {L"plain\\boot.bin", nullptr, BY_TRUE_NAME, true},
    {L"\x65E5\x672C\\\x674E.bin", nullptr, BY_TRUE_NAME, true},           // 日本\李: exact, never the short name
    {L"\x00E9\\boot.bin", L"e\\boot.bin", BY_SHORT_NAME, true},           // é would be e
    {L"up\\..\x00A5z.bin", L"z.bin", BY_SHORT_NAME, true},                // ¥ would be \: one folder up
    {L"x.binary", nullptr, NOT_AN_IMAGE, true},
    {L"gone\\\x00E9.bin", nullptr, NAME_REFUSED, false},
};

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::string Ansi(const std::wstring& text)
{
    char szText[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, szText, sizeof(szText), NULL, NULL);
    return szText;
}

// Writes the file and the folders it lies in; its content is its own name.
void MakeFile(const std::wstring& root, const std::wstring& relative)
{
    CreateDirectoryW(root.c_str(), NULL);
    for (std::size_t i = relative.find(L'\\'); i != std::wstring::npos; i = relative.find(L'\\', i + 1))
        CreateDirectoryW((root + relative.substr(0, i)).c_str(), NULL);
    HANDLE hFile = CreateFileW((root + relative).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    const std::string content = "image " + Ansi(relative);
    DWORD cbWritten = 0;
    WriteFile(hFile, content.data(), static_cast<DWORD>(content.size()), &cbWritten, NULL);
    CloseHandle(hFile);
}

enum ROUTE
{
    LAUNCHER,        // Kestrun.exe as the shell starts it
    EXTENSION,       // the click of the library that runs the boot itself
    EXTENSION64,     // the click of the library that hands it to the launcher
    COMMAND64,       // the same library's packaged verb, served as Windows 11 serves it
    CONSOLE,         // KestrunBoot.exe as a script starts it
};

DWORD RefusedExitCode(ROUTE route)
{
    return route == LAUNCHER ? EXIT_REFUSED : route == CONSOLE ? CONSOLE_NOT_AN_IMAGE : HOST_NO_ITEM;
}

class ChosenNames : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A run meant for another code page must not pass by skipping.
        char szExpected[16] = {};
        if (GetEnvironmentVariableA("KESTRUN_EXPECTED_CODE_PAGE", szExpected, sizeof(szExpected)) > 0) {
            ASSERT_EQ(std::to_string(GetACP()), szExpected) << "the prefix was made under another locale";
        }
        switch (GetACP()) {
        case 1252:
            m_names.assign(std::begin(NAMES_1252), std::end(NAMES_1252));
            break;
        case 932:
            m_names.assign(std::begin(NAMES_932), std::end(NAMES_932));
            break;
        default:
            GTEST_SKIP() << "no table of names for code page " << GetACP();
        }
    }

    static DWORD Regsvr32(const std::string& arguments)
    {
        const std::string regsvr32 = "C:\\windows\\system32\\regsvr32.exe";
        CChildProcess process;
        process.Start(regsvr32, "\"" + regsvr32 + "\" " + arguments);
        return process.Wait(60000);
    }

    void CheckEveryName(ROUTE route)
    {
        for (const CHOSEN_NAME& name : m_names) {
            SCOPED_TRACE(Ansi(name.pszImage));
            if (name.bExists || route == LAUNCHER || route == CONSOLE)
                CheckName(route, name);
        }
    }

    void CheckName(ROUTE route, const CHOSEN_NAME& name)
    {
        CStandinDevice device;
        device.InstallLauncher();
        // The launcher quoted the Windows way, as an installation writes it.
        device.Registration().SetCommand("\"" + device.ToolDirectory() + "Kestrun.exe\" \"%1\"");
        const std::wstring root = Widen(device.ToolDirectory()) + L"chosen\\";
        const std::wstring image = root + name.pszImage;
        if (name.bExists)
            MakeFile(root, name.pszImage);
        if (name.pszDecoy != nullptr)
            MakeFile(root, name.pszDecoy);

        CMessageBoxWatcher boxes(0);
        const DWORD dwExit = Run(route, image, &boxes);
        if (name.outcome == NAME_REFUSED || name.outcome == NOT_AN_IMAGE) {
            EXPECT_EQ(RefusedExitCode(route), dwExit);
            EXPECT_TRUE(device.Calls().empty());
            if (route == LAUNCHER && name.outcome == NAME_REFUSED) {
                ASSERT_TRUE(boxes.WaitForBoxes(1, 5000));
                EXPECT_EQ(BOX_CAPTION, boxes.Boxes()[0].caption);
                EXPECT_EQ(NAME_REFUSAL, boxes.Boxes()[0].text);
            } else {
                EXPECT_TRUE(boxes.Boxes().empty());
            }
            return;
        }

        EXPECT_EQ(route == LAUNCHER || route == CONSOLE ? 0u : HOST_BOOTED, dwExit);
        // The 64-bit library's launcher may still be at work.
        ASSERT_TRUE(device.WaitForCalls("Kestrun", 1, 20000));
        std::vector<DEVICE_RECORD> records = device.DeviceRecords();
        ASSERT_EQ(1u, records.size());
        WCHAR szShort[MAX_PATH] = {};
        GetShortPathNameW(image.c_str(), szShort, MAX_PATH);
        EXPECT_EQ(Ansi(name.outcome == BY_TRUE_NAME ? image : szShort), records[0].image);
        EXPECT_EQ("image " + Ansi(name.pszImage), device.ArrivedBytes(records[0]));
        EXPECT_TRUE(boxes.Boxes().empty());
    }

    DWORD Run(ROUTE route, const std::wstring& image, CMessageBoxWatcher* pBoxes)
    {
        const std::wstring folder = Widen(ProgramDirectory());
        const wchar_t* pszProgram = route == LAUNCHER    ? L"Kestrun.exe"
                                  : route == CONSOLE   ? L"KestrunBoot.exe"
                                  : route == COMMAND64 ? L"explorer11_host.exe"
                                                       : L"explorer_host.exe";
        const std::wstring program = folder + pszProgram;
        // The packaged verb: the package's manifest and its external location.
        const std::wstring package = route == COMMAND64 ? L" \"" + folder + L"AppxManifest.xml\" \"" + folder + L".\"" : L"";
        CChildProcess process;
        if (!process.Start(program, L"\"" + program + L"\"" + package + L" \"" + image + L"\""))
            return 0xFFFFFFFF;
        pBoxes->SetProcessId(process.ProcessId());
        return process.Wait(60000);
    }

    std::vector<CHOSEN_NAME> m_names;
};

} // namespace

TEST_F(ChosenNames, ThroughTheLauncher)
{
    CheckEveryName(LAUNCHER);
}

TEST_F(ChosenNames, ThroughTheConsoleProgram)
{
    CheckEveryName(CONSOLE);
}

TEST_F(ChosenNames, ThroughTheExtension)
{
    const std::string library = "\"" + ProgramDirectory() + "Kestrun_Tool.dll\"";
    ASSERT_EQ(0u, Regsvr32("/s " + library));
    CheckEveryName(EXTENSION);
    Regsvr32("/u /s " + library);
}

TEST_F(ChosenNames, ThroughThe64BitExtension)
{
    // A 32-bit host cannot load the 64-bit library: the emulated machine's
    // package test takes this route with a 64-bit host.
    if (sizeof(void*) == 4)
        GTEST_SKIP() << "Kestrun_Tool64.dll needs a 64-bit host";
    const std::string library = "\"" + ProgramDirectory() + "Kestrun_Tool64.dll\"";
    ASSERT_EQ(0u, Regsvr32("/s " + library));
    // The packaged verb's class is the package's to declare.
    EXPECT_FALSE(KeyExists("CLSID\\{" KESTRUN_COMMAND_CLSID_TEXT "}"));
    CheckEveryName(EXTENSION64);
    Regsvr32("/u /s " + library);
}

TEST_F(ChosenNames, ThroughThePackagedVerb)
{
    if (sizeof(void*) == 4)
        GTEST_SKIP() << "Kestrun_Tool64.dll needs a 64-bit host";
    CheckEveryName(COMMAND64);
}
