// KestrunBoot.exe as a script runs it: a real process, its exit code, its
// lines on standard output and standard error, what reached the stand-in
// device, and never a message box.

#include "child_process.h"
#include "message_box_watcher.h"
#include "standin_device.h"
#include "temp_dir.h"
#include "text_file.h"
#include "time_scale.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

enum : DWORD
{
    EXIT_BOOTED = 0, EXIT_USAGE = 2, EXIT_NOT_AN_IMAGE = 3, EXIT_NO_SETTINGS = 4, EXIT_NOT_CONNECTED = 5,
    EXIT_TRANSFER_FAILED = 6, EXIT_NO_BOOT_LIBRARY = 7, EXIT_INTERRUPTED = 130,
};

const char NOT_CONNECTED[] = "KestrunBoot: USB device not connected: Can't detect the corresponding USB device!";

std::wstring Widen(const std::string& text)
{
    WCHAR szText[MAX_PATH * 4] = {};
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, szText, MAX_PATH * 4);
    return szText;
}

std::string Utf8(const std::wstring& text)
{
    std::string utf8(text.size() * 3 + 1, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], static_cast<int>(utf8.size()), NULL,
                                    NULL) - 1);
    return utf8;
}

std::wstring Quoted(const std::wstring& path)
{
    return L"\"" + path + L"\"";
}

// CR LF lines; a line feed without its CR shows up as part of a line.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::string::size_type start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// What a run wrote, as the bytes a file receives (UTF-8), line by line.
struct CONSOLE_RUN
{
    DWORD dwExitCode;
    std::string output;
    std::string errors;
    std::vector<std::string> OutputLines() const { return Lines(output); }
};

// An open file, closed when this goes: a standard stream the child
// inherits, or a file held without sharing.
class CFile
{
public:
    explicit CFile(HANDLE hFile) : m_hFile(hFile) {}
    ~CFile() { Close(); }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    HANDLE Get() const { return m_hFile; }
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    void Close()
    {
        if (IsOpen())
            CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_hFile;
};

HANDLE CreateStream(const std::string& path)
{
    SECURITY_ATTRIBUTES inherited = {sizeof(inherited), NULL, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, NULL);
}

HANDLE HoldWithoutSharing(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
}

std::string Contents(const std::string& path)
{
    std::string text;
    ReadTextFile(path, &text);
    return text;
}

// The test process attached to a child's console, Ctrl+C ignored here,
// until it goes: the only way Wine 8 delivers a console control event to
// another process (CTRL_C_EVENT to the console's processes; CTRL_BREAK_EVENT
// fails with ERROR_INVALID_HANDLE, and no event reaches a process without a
// console).
class CAttachedConsole
{
public:
    // The child's console exists only once the child has begun to run.
    explicit CAttachedConsole(DWORD dwProcessId)
    {
        FreeConsole();
        SetConsoleCtrlHandler(NULL, TRUE);
        for (const DWORD dwStart = GetTickCount(); !(m_bAttached = AttachConsole(dwProcessId) != FALSE); Sleep(10)) {
            if (GetTickCount() - dwStart >= ScaledMs(5000))
                break;
        }
    }
    ~CAttachedConsole()
    {
        FreeConsole();
        SetConsoleCtrlHandler(NULL, FALSE);
    }
    CAttachedConsole(const CAttachedConsole&) = delete;
    CAttachedConsole& operator=(const CAttachedConsole&) = delete;
    bool IsAttached() const { return m_bAttached; }

    // Every character of the screen buffer, row after row: a line longer
    // than a row goes on in the next one.
    std::wstring ScreenText() const
    {
        HANDLE hScreen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     NULL, OPEN_EXISTING, 0, NULL);
        CONSOLE_SCREEN_BUFFER_INFO info = {};
        std::wstring text;
        if (hScreen != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(hScreen, &info)) {
            text.resize(static_cast<std::size_t>(info.dwSize.X) * (info.dwCursorPosition.Y + 1));
            DWORD cchRead = 0;
            ReadConsoleOutputCharacterW(hScreen, &text[0], static_cast<DWORD>(text.size()), COORD{0, 0}, &cchRead);
            text.resize(cchRead);
        }
        if (hScreen != INVALID_HANDLE_VALUE)
            CloseHandle(hScreen);
        return text;
    }

    bool WaitForText(const std::wstring& text, DWORD dwTimeoutMs) const
    {
        for (const DWORD dwStart = GetTickCount(); ScreenText().find(text) == std::wstring::npos; Sleep(20)) {
            if (GetTickCount() - dwStart >= dwTimeoutMs)
                return false;
        }
        return true;
    }

private:
    bool m_bAttached;
};

class BootConsole : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_TRUE(m_boxes.Boxes().empty()) << "KestrunBoot showed a message box"; }

    static std::wstring Program() { return Widen(ProgramDirectory()) + L"KestrunBoot.exe"; }

    // Runs the program with its standard streams sent to files, as a
    // script that captures them does; whileRunning acts during the run.
    CONSOLE_RUN Run(const std::wstring& arguments, const std::wstring& program = Program(),
                    const wchar_t* pszDirectory = nullptr, const std::function<void()>& whileRunning = nullptr)
    {
        CFile output(CreateStream(m_streams / "stdout.txt"));
        CFile errors(CreateStream(m_streams / "stderr.txt"));
        CHILD_OPTIONS options;
        options.hOutput = output.Get();
        options.hError = errors.Get();
        options.pszDirectory = pszDirectory;
        CChildProcess process;
        EXPECT_TRUE(process.Start(program, Quoted(program) + L" " + arguments, options));
        m_boxes.SetProcessId(process.ProcessId());
        if (whileRunning)
            whileRunning();
        const DWORD dwExitCode = process.Wait(ScaledMs(30000));
        output.Close();
        errors.Close();
        return CONSOLE_RUN{dwExitCode, Contents(m_streams / "stdout.txt"), Contents(m_streams / "stderr.txt")};
    }

    // Starts the program in a console of its own and attaches to it.
    void StartInOwnConsole(const std::wstring& arguments, CChildProcess* pProcess,
                           std::unique_ptr<CAttachedConsole>* ppConsole)
    {
        CHILD_OPTIONS options;
        options.dwCreationFlags = CREATE_NEW_CONSOLE;
        ASSERT_TRUE(pProcess->Start(Program(), Quoted(Program()) + L" " + arguments, options));
        m_boxes.SetProcessId(pProcess->ProcessId());
        ppConsole->reset(new CAttachedConsole(pProcess->ProcessId()));
        ASSERT_TRUE((*ppConsole)->IsAttached());
    }

    // A failed run: its code, nothing sent to the device, and one line on
    // standard error that holds the text.
    void ExpectRefusal(const CONSOLE_RUN& run, DWORD dwExitCode, const std::string& text) const
    {
        EXPECT_EQ(dwExitCode, run.dwExitCode) << run.errors;
        EXPECT_NE(std::string::npos, run.errors.find(text)) << run.errors;
        EXPECT_EQ(0u, run.errors.find("KestrunBoot: ")) << run.errors;
        EXPECT_EQ(run.errors.size() - 2, run.errors.find("\r\n")) << "not one line: " << run.errors;
        EXPECT_TRUE(m_device.Calls("Kestrun.begin").empty());
    }

    std::wstring Image(const std::string& name, std::size_t cbSize = 1000) const
    {
        return Widen(m_device.MakeImage(name, cbSize));
    }

    CStandinDevice m_device;
    CMessageBoxWatcher m_boxes{0};
    CTempDir m_streams;
};

} // namespace

TEST_F(BootConsole, BootsAndTellsEachStep)
{
    const std::string image = m_device.MakeImage("boot.bin", 1000);
    CONSOLE_RUN run = Run(Quoted(Widen(image)));
    EXPECT_EQ(EXIT_BOOTED, run.dwExitCode) << run.errors;
    EXPECT_EQ("", run.errors);
    const std::vector<std::string> lines = run.OutputLines();
    ASSERT_EQ(4u, lines.size()) << run.output;
    EXPECT_EQ("Settings: " + m_device.SettingsPath() + " (in the folder of the registered Kestrun.exe)", lines[0]);
    EXPECT_EQ("Load address: 0x00008000 (DnLoadAddr of the settings)", lines[1]);
    EXPECT_EQ("Image: " + image + ", 1000 bytes", lines[2]);
    EXPECT_EQ(0u, lines[3].find("Booted in ")) << lines[3];
    ASSERT_EQ(1u, m_device.DeviceRecords().size());
    EXPECT_EQ(image, m_device.DeviceRecords()[0].image);
    EXPECT_EQ(0x8000u, m_device.DeviceRecords()[0].address);
    EXPECT_EQ(1000u, m_device.DeviceRecords()[0].bytes);

    // --address before or after the image, in either form.
    for (const std::wstring& arguments : {L"--address 0x80000000 " + Quoted(Widen(image)),
                                          Quoted(Widen(image)) + L" --address 2147483648"}) {
        run = Run(arguments);
        EXPECT_EQ(EXIT_BOOTED, run.dwExitCode) << run.errors;
        EXPECT_NE(std::string::npos, run.output.find("Load address: 0x80000000 (--address)\r\n")) << run.output;
        EXPECT_EQ(0x80000000u, m_device.DeviceRecords().back().address);
    }

    // Without DnLoadAddr the launcher's 0, and the line says why.
    m_device.WriteSettings("");
    run = Run(Quoted(Widen(image)));
    EXPECT_EQ(EXIT_BOOTED, run.dwExitCode) << run.errors;
    EXPECT_NE(std::string::npos, run.output.find("Load address: 0x00000000 (no DnLoadAddr in section "
                                                 "[QUORVEX_KESTRUN] of the settings: 0, as Kestrun.exe takes it)"))
        << run.output;
    EXPECT_EQ(0u, m_device.DeviceRecords().back().address);

    // Redirected, a path goes whole, in UTF-8: 李 is not in code page 1252,
    // the library gets the short name and the line the true one.
    const std::wstring named = Widen(m_device.ToolDirectory()) + L"caf\x00E9 \x674E.bin";
    ASSERT_TRUE(MoveFileW(Widen(image).c_str(), named.c_str()));
    run = Run(Quoted(named));
    EXPECT_EQ(EXIT_BOOTED, run.dwExitCode) << run.errors;
    EXPECT_NE(std::string::npos, run.output.find("Image: " + Utf8(named) + ", 1000 bytes, given to the boot library "
                                                 "by its short name ")) << run.output;
}

TEST_F(BootConsole, TakesRelativeNamesAsFullPathsAndEndsOptionsAtTwoDashes)
{
    // The profile reader looks for a relative settings file in the Windows
    // folder, and a relative image would depend on the library's current
    // folder: both reach the library as full paths.
    const std::string image = m_device.MakeImage("-dash.bin", 10);
    const std::string folder = image.substr(0, image.rfind('\\') + 1);
    std::string settings;
    ASSERT_TRUE(ReadTextFile(m_device.SettingsPath(), &settings));
    const std::string::size_type address = settings.find("0x8000");
    ASSERT_NE(std::string::npos, address);
    ASSERT_TRUE(WriteTextFile(folder + "other.ini", settings.replace(address, 6, "0x1234")));
    const std::wstring directory = Widen(folder);
    const CONSOLE_RUN run = Run(L"--settings other.ini -- -dash.bin", Program(), directory.c_str());
    EXPECT_EQ(EXIT_BOOTED, run.dwExitCode) << run.errors;
    ASSERT_EQ(1u, m_device.Calls("Load_IniFile").size());
    char szFull[MAX_PATH] = {};
    GetFullPathNameA((folder + "other.ini").c_str(), MAX_PATH, szFull, NULL);
    EXPECT_EQ(szFull, m_device.Calls("Load_IniFile")[0].fields["settings"]);
    EXPECT_NE(std::string::npos, run.output.find(std::string("Settings: ") + szFull + " (--settings)\r\n"));
    ASSERT_EQ(1u, m_device.DeviceRecords().size());
    EXPECT_EQ(image, m_device.DeviceRecords()[0].image);
    EXPECT_EQ(0x1234u, m_device.DeviceRecords()[0].address);
}

TEST_F(BootConsole, RefusesABadCommandLineWithCode2)
{
    const struct
    {
        const wchar_t* pszArguments;
        const char* pszError;
    } cases[] = {
        {L"", "no image given (KestrunBoot [--settings FILE] [--address ADDRESS] [--wait-device SECONDS] IMAGE)."},
        {L"--bogus boot.bin", "unknown option --bogus (an image whose name starts with - follows --)."},
        {L"a.bin \"b c.bin\"", "a second image: b c.bin"},
        {L"boot.bin --address", "--address needs a value."},
        {L"--address 0x100000000 boot.bin", "bad --address \"0x100000000\": give decimal digits, or 0x and hex "
                                            "digits, at most 0xFFFFFFFF."},
        {L"--wait-device 1.5 boot.bin", "bad --wait-device \"1.5\""},
        {L"--settings a.ini --settings b.ini boot.bin", "--settings given twice."},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << "arguments " << Utf8(test.pszArguments));
        ExpectRefusal(Run(test.pszArguments), EXIT_USAGE, test.pszError);
    }
    EXPECT_TRUE(m_device.Calls().empty());

    const CONSOLE_RUN help = Run(L"--help boot.txt");
    EXPECT_EQ(EXIT_BOOTED, help.dwExitCode);
    for (const char* pszCode : {"\r\n  0    booted", "\r\n  2    usage", "\r\n  3    not a boot image", "\r\n  4    ",
                                "\r\n  5    device not connected", "\r\n  6    transfer failed", "\r\n  7    ",
                                "\r\n  130  interrupted"})
        EXPECT_NE(std::string::npos, help.output.find(pszCode)) << pszCode;
}

TEST_F(BootConsole, RefusesWhatIsNotABootImageWithCode3)
{
    const std::wstring folder = Widen(m_device.ToolDirectory());
    ASSERT_TRUE(CreateDirectoryW((folder + L"dir.bin").c_str(), NULL));
    const std::wstring longImage = folder + std::wstring(300, L'p') + L".bin";
    const struct
    {
        std::wstring arguments;
        std::string error;
    } cases[] = {
        {Quoted(Image("boot.txt")), " is not a boot image: its name must end in .bin or .BIN."},
        {Quoted(Image("boot.Bin")), " is not a boot image"},
        {Quoted(Image("boot.bin") + L"."), " is not a boot image"},
        // Written as the three bytes of its own code unit: no UTF-8 text holds it.
        {L"x\xD800.txt", "KestrunBoot: x\xED\xA0\x80.txt is not a boot image"},
        {Quoted(folder + L"missing.bin"), "image " + m_device.ToolDirectory() + "missing.bin not found (error 2)."},
        {Quoted(folder + L"dir.bin"), "image " + m_device.ToolDirectory() + "dir.bin is a folder, not a file."},
        {Quoted(longImage), "the image's full path is longer than 259 characters, more than the boot library takes"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << "arguments " << Utf8(test.arguments));
        ExpectRefusal(Run(test.arguments), EXIT_NOT_AN_IMAGE, test.error);
    }
    EXPECT_TRUE(m_device.Calls().empty());
}

TEST_F(BootConsole, RefusesAnUnusableRegistrationOrSettingsFileWithCode4)
{
    const std::wstring image = Quoted(Image("boot.bin"));
    const std::string settings = m_device.SettingsPath();
    const struct
    {
        const char* pszCase;
        void (*spoil)(CStandinDevice& device);
        std::string error;
    } cases[] = {
        {"no registration", [](CStandinDevice& d) { d.Registration().Remove(); },
         "Read Info Error! The launcher's registration HKEY_CLASSES_ROOT\\Applications\\Kestrun.exe\\shell\\open\\command"
         " is missing, empty or unreadable. Install Kestrun, or name the settings file with --settings FILE."},
        {"no folder", [](CStandinDevice& d) { d.Registration().SetCommand("Kestrun.exe \"%1\""); },
         "Read Info Error! The launcher's registration HKEY_CLASSES_ROOT\\Applications\\Kestrun.exe\\shell\\open\\command"
         " names no folder."},
        {"folder of 245", [](CStandinDevice& d) {
             d.Registration().SetCommand("C:\\" + std::string(241, 'd') + "\\K \"%1\"");
         }, "Read Info Error! The folder of the registered Kestrun.exe is longer than 244 characters"},
        {"missing", [](CStandinDevice& d) { ASSERT_TRUE(DeleteFileA(d.SettingsPath().c_str())); },
         "settings file " + settings + " not found (error 2)."},
        {"a folder", [](CStandinDevice& d) {
             ASSERT_TRUE(DeleteFileA(d.SettingsPath().c_str()));
             ASSERT_TRUE(CreateDirectoryA(d.SettingsPath().c_str(), NULL));
         }, "settings file " + settings + " is a folder, not a file."},
        {"huge", [](CStandinDevice& d) {
             std::string text;
             ASSERT_TRUE(ReadTextFile(d.SettingsPath(), &text));
             ASSERT_TRUE(WriteTextFile(d.SettingsPath(), text + std::string(2 * 1024 * 1024, ';')));
         }, "settings file " + settings + " is 2097"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.pszCase);
        test.spoil(m_device);
        ExpectRefusal(Run(image), EXIT_NO_SETTINGS, test.error);
        EXPECT_TRUE(m_device.Calls().empty()) << "the boot library was called";
        RemoveDirectoryA(settings.c_str());
        m_device.WriteSettings("0x8000");
        m_device.Registration().SetCommand(m_device.LauncherCommand());
    }

    {
        const CFile held(HoldWithoutSharing(settings));
        ASSERT_TRUE(held.IsOpen());
        ExpectRefusal(Run(image), EXIT_NO_SETTINGS, "settings file " + settings + " cannot be read (error 32).");
    }
    ExpectRefusal(Run(L"--settings missing.ini " + image), EXIT_NO_SETTINGS, "missing.ini not found (error 2).");
    EXPECT_TRUE(m_device.Calls().empty());
}

TEST_F(BootConsole, ReportsANotConnectedDeviceWithCode5)
{
    m_device.Disconnect();
    const std::wstring image = Quoted(Image("boot.bin"));
    CONSOLE_RUN run = Run(image);
    ExpectRefusal(run, EXIT_NOT_CONNECTED,
                  std::string(NOT_CONNECTED) + " (Load_IniFile returned 1) Plug the board in, or let KestrunBoot wait "
                                               "for it with --wait-device SECONDS.");
    EXPECT_EQ(1u, m_device.Calls("Load_IniFile").size());

    // Asked to wait: Load_IniFile every half second for the whole second.
    const DWORD dwStart = GetTickCount();
    run = Run(L"--wait-device 1 " + image);
    const DWORD dwMs = GetTickCount() - dwStart;
    ExpectRefusal(run, EXIT_NOT_CONNECTED, std::string(NOT_CONNECTED) + " (Load_IniFile returned 1, still after 1 s).");
    EXPECT_EQ("Waiting up to 1 s for the device (Load_IniFile returned 1); Ctrl+C stops.", run.OutputLines().back());
    EXPECT_GE(dwMs, 1000u);
    // At 0, 0.5 and 1 s; where every call is slower (the emulated machine),
    // a slow try can use up a half second of its own.
    const std::size_t nTries = m_device.Calls("Load_IniFile").size() - 1;
    EXPECT_GE(nTries, ScaledMs(1) > 1 ? 2u : 3u);
    EXPECT_LE(nTries, 4u);
}

TEST_F(BootConsole, WaitsForADeviceThatAppearsLate)
{
    m_device.Disconnect();
    const CONSOLE_RUN run = Run(L"--wait-device 20 " + Quoted(Image("boot.bin")), Program(), nullptr, [this] {
        ASSERT_TRUE(m_device.WaitForCalls("Load_IniFile", 2, ScaledMs(10000)));
        ASSERT_TRUE(CreateDirectoryA(m_device.DeviceDirectory().c_str(), NULL));
    });
    EXPECT_EQ(EXIT_BOOTED, run.dwExitCode) << run.errors;
    EXPECT_EQ("", run.errors);
    const std::vector<std::string> lines = run.OutputLines();
    ASSERT_EQ(6u, lines.size()) << run.output;
    EXPECT_EQ("Waiting up to 20 s for the device (Load_IniFile returned 1); Ctrl+C stops.", lines[1]);
    EXPECT_EQ(0u, lines[2].find("Device ready after ")) << lines[2];
    const std::vector<STANDIN_CALL> tries = m_device.Calls("Load_IniFile");
    for (std::size_t i = 0; i < tries.size(); ++i)
        EXPECT_EQ(i + 1 < tries.size() ? "1" : "0", tries[i].fields.at("result"));
    EXPECT_EQ(1u, m_device.DeviceRecords().size());
}

TEST_F(BootConsole, ReportsAFailedTransferWithCode6)
{
    // Nobody else may read the image: the library cannot.
    const std::string image = m_device.MakeImage("boot.bin", 10);
    const CFile held(HoldWithoutSharing(image));
    ASSERT_TRUE(held.IsOpen());
    const CONSOLE_RUN run = Run(Quoted(Widen(image)));
    EXPECT_EQ(EXIT_TRANSFER_FAILED, run.dwExitCode);
    EXPECT_EQ(0u, run.errors.find("KestrunBoot: Quorvex Kestrun Error! The transfer failed after ")) << run.errors;
    EXPECT_NE(std::string::npos, run.errors.find(" s (Kestrun returned 2). Check the image and the board's connection, "
                                                 "then try again.\r\n"));
    EXPECT_EQ(run.errors.size() - 2, run.errors.find("\r\n"));
    EXPECT_EQ("2", m_device.Calls("Kestrun").at(0).fields["result"]);
}

namespace {

// An environment variable set for as long as this lives.
class CEnvironmentVariable
{
public:
    CEnvironmentVariable(const char* pszName, const std::string& value) : m_pszName(pszName)
    {
        char szOld[32767];
        const DWORD cch = GetEnvironmentVariableA(pszName, szOld, sizeof(szOld));
        m_bHadValue = cch > 0 && cch < sizeof(szOld);
        if (m_bHadValue)
            m_old = szOld;
        SetEnvironmentVariableA(pszName, value.c_str());
    }
    ~CEnvironmentVariable() { SetEnvironmentVariableA(m_pszName, m_bHadValue ? m_old.c_str() : NULL); }
    CEnvironmentVariable(const CEnvironmentVariable&) = delete;
    CEnvironmentVariable& operator=(const CEnvironmentVariable&) = delete;

private:
    const char* m_pszName;
    bool m_bHadValue;
    std::string m_old;
};

} // namespace

TEST_F(BootConsole, LoadsTheBootLibraryOnlyFromItsOwnFolderWithCode7)
{
    // The program alone in a folder; a working Lorvane.dll in the current
    // folder and on PATH, where a search would find it.
    CTempDir places;
    for (const char* pszFolder : {"alone", "current", "onpath"})
        ASSERT_TRUE(CreateDirectoryA((places / pszFolder).c_str(), NULL));
    const std::string program = places / "alone\\KestrunBoot.exe";
    ASSERT_TRUE(CopyFileA((ProgramDirectory() + "KestrunBoot.exe").c_str(), program.c_str(), FALSE));
    for (const char* pszFolder : {"current\\", "onpath\\"})
        ASSERT_TRUE(CopyFileA((ProgramDirectory() + "Lorvane.dll").c_str(), (places / pszFolder + "Lorvane.dll").c_str(),
                              FALSE));
    char szPath[32767] = {};
    GetEnvironmentVariableA("PATH", szPath, sizeof(szPath));
    CEnvironmentVariable path("PATH", places / "onpath;" + szPath);
    const std::wstring image = Quoted(Image("boot.bin"));
    const std::wstring current = Widen(places / "current");
    const std::string beside = places / "alone\\Lorvane.dll";

    ExpectRefusal(Run(image, Widen(program), current.c_str()), EXIT_NO_BOOT_LIBRARY,
                  "the boot library " + beside + " is missing. Place the vendor's Lorvane.dll beside KestrunBoot.exe.");

    ASSERT_TRUE(WriteTextFile(beside, "not a library"));
    ExpectRefusal(Run(image, Widen(program), current.c_str()), EXIT_NO_BOOT_LIBRARY,
                  "the boot library " + beside + " cannot be loaded (error ");

    // A library that loads but is not the vendor's.
    char szSystem[MAX_PATH] = {};
    GetSystemDirectoryA(szSystem, MAX_PATH);
    ASSERT_TRUE(CopyFileA((std::string(szSystem) + "\\version.dll").c_str(), beside.c_str(), FALSE));
    ExpectRefusal(Run(image, Widen(program), current.c_str()), EXIT_NO_BOOT_LIBRARY,
                  "the boot library " + beside + " has no function ?Load_IniFile@@");
    EXPECT_TRUE(m_device.Calls().empty()) << "a Lorvane.dll from the search path was loaded";
}

TEST_F(BootConsole, CtrlCWhileWaitingEndsAtOnceWith130)
{
    // Its lines go to its console, through WriteConsoleW: the settings
    // file's true name with them.
    m_device.Disconnect();
    const std::wstring settings = Widen(m_device.ToolDirectory()) + L"r\x00E9glage \x674E.ini";
    ASSERT_TRUE(CopyFileW(Widen(m_device.SettingsPath()).c_str(), settings.c_str(), FALSE));
    CChildProcess process;
    std::unique_ptr<CAttachedConsole> console;
    StartInOwnConsole(L"--wait-device 30 --settings " + Quoted(settings) + L" " + Quoted(Image("boot.bin")), &process,
                      &console);
    ASSERT_TRUE(console && console->WaitForText(L"Waiting up to 30 s for the device", ScaledMs(10000)))
        << Utf8(console ? console->ScreenText() : L"");

    const DWORD dwStart = GetTickCount();
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    EXPECT_EQ(EXIT_INTERRUPTED, process.Wait(ScaledMs(5000)));
    EXPECT_LT(GetTickCount() - dwStart, ScaledMs(2000));
    const std::wstring screen = console->ScreenText();
    EXPECT_NE(std::wstring::npos, screen.find(L"Settings: " + settings + L" (--settings)")) << Utf8(screen);
    EXPECT_NE(std::wstring::npos, screen.find(L"KestrunBoot: interrupted by Ctrl+C; nothing was sent to the device."))
        << Utf8(screen);
    EXPECT_TRUE(m_device.Calls("Kestrun.begin").empty());
}

TEST_F(BootConsole, CtrlCDuringTheTransferIsRefusedUntilTheLibraryReturns)
{
    STANDIN_TIMING slow;
    slow.dwLatencyMs = ScaledMs(1500);
    m_device.WriteSettings("0x8000", slow);
    CChildProcess process;
    std::unique_ptr<CAttachedConsole> console;
    StartInOwnConsole(Quoted(Image("boot.bin")), &process, &console);
    ASSERT_TRUE(console && m_device.WaitForCalls("Kestrun.begin", 1, ScaledMs(10000)));

    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    EXPECT_EQ(EXIT_BOOTED, process.Wait(ScaledMs(10000)));
    const std::wstring screen = console->ScreenText();
    EXPECT_NE(std::wstring::npos, screen.find(L"KestrunBoot: Ctrl+C refused: the transfer cannot be cut safely. "
                                              L"KestrunBoot ends when the boot library returns."))
        << Utf8(screen);
    EXPECT_NE(std::wstring::npos, screen.find(L"Booted in ")) << Utf8(screen);
    ASSERT_EQ(1u, m_device.DeviceRecords().size());
    EXPECT_EQ(1000u, m_device.DeviceRecords()[0].bytes);
}
