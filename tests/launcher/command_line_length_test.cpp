// Launcher command lines of every length the platform lets a process have:
// in process through ImagePathFromCommandLine, and as real Kestrun.exe
// processes for a sample of lengths.

#include "command_line.h"
#include "message_box_watcher.h"
#include "child_process.h"
#include "standin_device.h"
#include "text_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

// CreateProcess takes at most 32,767 characters with the terminator, and the
// program's own path is part of them.
const std::size_t MAX_PROCESS_COMMAND_LINE = 32766;

const DWORD EXIT_BOOTED = 0;
const DWORD EXIT_REFUSED = 0x80070057;   // E_INVALIDARG

// A quoted .bin path of exactly cch characters; below 9 the tail of the
// shortest one.
std::string QuotedImageOfLength(std::size_t cch)
{
    const std::string shortest = "\"C:\\.bin\"";
    if (cch < shortest.size())
        return shortest.substr(shortest.size() - cch);
    return "\"C:\\" + std::string(cch - shortest.size(), 'p') + ".bin\"";
}

// Text that no start-up code trims and that never names a boot image, with
// or without its first and last character: quotes, blanks and a non-ASCII
// byte inside, but neither a blank first nor an "n" among the last two.
std::string JunkOfLength(std::size_t cch)
{
    const std::string pattern = "j\"C:\\x y\\\xE9.bin\" /q ";
    std::string junk;
    while (junk.size() < cch)
        junk += pattern;
    junk.resize(cch);
    for (std::size_t i = cch > 2 ? cch - 2 : 0; i < cch; ++i)
        junk[i] = 'z';
    return junk;
}

// The text as UTF-16, byte by byte (as code page 1252 reads its ASCII and
// 0xE9 bytes), so in-process checks and real processes see the same line.
std::wstring Widen(const std::string& text)
{
    std::wstring wide;
    for (char c : text)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

// Ends the test program at once: without this, a crash waits in the
// platform's debugger until the test times out.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* pInfo)
{
    std::fprintf(stderr, "exception 0x%08lX at %p: read past the end of the text?\n",
                 pInfo->ExceptionRecord->ExceptionCode, pInfo->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Pages whose last readable byte is followed by an inaccessible page: text
// placed against that end crashes the test if anything reads past it.
class CFencedText
{
public:
    explicit CFencedText(std::size_t cchReadable) : m_pPreviousFilter(SetUnhandledExceptionFilter(EndOnCrash))
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const std::size_t cbPage = info.dwPageSize;
        const std::size_t cbReadable = cchReadable * sizeof(wchar_t);
        m_cbReadable = (cbReadable + cbPage - 1) / cbPage * cbPage;
        m_pBase = static_cast<char*>(VirtualAlloc(NULL, m_cbReadable + cbPage, MEM_RESERVE | MEM_COMMIT,
                                                  PAGE_READWRITE));
        DWORD dwOld = 0;
        if (m_pBase != NULL)
            VirtualProtect(m_pBase + m_cbReadable, cbPage, PAGE_NOACCESS, &dwOld);
    }
    ~CFencedText()
    {
        if (m_pBase != NULL)
            VirtualFree(m_pBase, 0, MEM_RELEASE);
        SetUnhandledExceptionFilter(m_pPreviousFilter);
    }
    CFencedText(const CFencedText&) = delete;
    CFencedText& operator=(const CFencedText&) = delete;

    bool IsValid() const { return m_pBase != NULL; }
    // The text, terminated, ending at the fence.
    const wchar_t* Place(const std::string& text) { return PlaceText(Widen(text) + L'\0'); }
    // The text without any terminator, ending at the fence.
    const wchar_t* PlaceUnterminated(const std::string& text) { return PlaceText(Widen(text)); }

private:
    const wchar_t* PlaceText(const std::wstring& text)
    {
        const std::size_t cb = text.size() * sizeof(wchar_t);
        char* pStart = m_pBase + m_cbReadable - cb;
        std::memcpy(pStart, text.data(), cb);
        return reinterpret_cast<const wchar_t*>(pStart);
    }

    LPTOP_LEVEL_EXCEPTION_FILTER m_pPreviousFilter;
    char* m_pBase = NULL;
    std::size_t m_cbReadable = 0;
};

// An image path buffer between guard areas, prefilled with non-zero bytes.
struct GUARDED_IMAGE_PATH
{
    char before[16];
    WIDEPATHBUFFER szPath;
    char after[16];

    GUARDED_IMAGE_PATH()
    {
        std::memset(before, 0x5A, sizeof(before));
        std::wmemset(szPath, L'x', PATH_BUFFER_SIZE);
        std::memset(after, 0x5A, sizeof(after));
    }
    bool GuardsIntact() const
    {
        for (std::size_t i = 0; i < sizeof(before); ++i)
            if (before[i] != 0x5A || after[i] != 0x5A)
                return false;
        return true;
    }
    // Exactly text, then zeros up to the buffer's end.
    bool Holds(const std::string& text) const
    {
        return std::wstring(szPath, PATH_BUFFER_SIZE) == Widen(text) + std::wstring(PATH_BUFFER_SIZE - text.size(), L'\0');
    }
};

} // namespace

TEST(ImagePathFromCommandLine, EveryLengthUpToTheProcessLimit)
{
    CFencedText fence(MAX_PROCESS_COMMAND_LINE + 1);
    ASSERT_TRUE(fence.IsValid());

    int nFailures = 0;
    for (std::size_t cch = 0; cch <= MAX_PROCESS_COMMAND_LINE && nFailures < 10; ++cch) {
        for (const std::string& commandLine : {QuotedImageOfLength(cch), JunkOfLength(cch)}) {
            GUARDED_IMAGE_PATH image;
            const bool bTaken = ImagePathFromCommandLine(fence.Place(commandLine), image.szPath);
            const bool bFits = cch <= 260;
            const std::string expected = bFits && cch >= 2 ? commandLine.substr(1, cch - 2) : std::string();
            if (bTaken != bFits || !image.Holds(expected) || !image.GuardsIntact()) {
                ADD_FAILURE() << "command line of " << cch << " characters: " << commandLine.substr(0, 40);
                ++nFailures;
            }
        }
    }
}

TEST(ImagePathFromCommandLine, RefusesALongLineAfterItsFirst261Characters)
{
    // No terminator at all: the answer must come from the characters that
    // could be taken and one more.
    CFencedText fence(MAX_PROCESS_COMMAND_LINE);
    ASSERT_TRUE(fence.IsValid());
    for (std::size_t cch : {261u, 262u, 1000u, 32766u}) {
        GUARDED_IMAGE_PATH image;
        EXPECT_FALSE(ImagePathFromCommandLine(fence.PlaceUnterminated(JunkOfLength(cch)), image.szPath)) << cch;
        EXPECT_TRUE(image.Holds(std::string())) << cch;
        EXPECT_TRUE(image.GuardsIntact()) << cch;
    }
}

namespace {

class LauncherCommandLineLength : public ::testing::Test
{
protected:
    std::string Launcher() const { return ProgramDirectory() + "Kestrun.exe"; }
    std::string Prefix() const { return "\"" + Launcher() + "\" "; }
    // The longest lpCmdLine the launcher can be given.
    std::size_t MaxArguments() const { return MAX_PROCESS_COMMAND_LINE - Prefix().size(); }

    // Runs the launcher with exactly these characters as lpCmdLine.
    DWORD Run(const std::string& arguments)
    {
        CChildProcess process;
        EXPECT_TRUE(process.Start(Launcher(), Prefix() + arguments)) << arguments.size();
        m_boxes.SetProcessId(process.ProcessId());
        return process.Wait(30000);
    }

    CStandinDevice m_device;
    CMessageBoxWatcher m_boxes{0};
};

} // namespace

TEST_F(LauncherCommandLineLength, JunkOfAnyLengthEndsWithInvalidArgSilently)
{
    for (std::size_t cch : {std::size_t(0), std::size_t(1), std::size_t(2), std::size_t(259), std::size_t(260),
                            std::size_t(261), std::size_t(1000), MaxArguments()}) {
        EXPECT_EQ(EXIT_REFUSED, Run(JunkOfLength(cch))) << cch;
    }
    EXPECT_TRUE(m_device.Calls().empty());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(LauncherCommandLineLength, OnlyALineThatFitsWholeBootsARealImage)
{
    // A quoted 257-character path of a real image: 259 characters, booted.
    const std::string image257 = m_device.ToolDirectory() + std::string(257 - m_device.ToolDirectory().size() - 4, 'n') + ".bin";
    ASSERT_TRUE(WriteTextFile(image257, "image"));
    EXPECT_EQ(EXIT_BOOTED, Run("\"" + image257 + "\""));
    ASSERT_EQ(1u, m_device.DeviceRecords().size());
    EXPECT_EQ(image257, m_device.DeviceRecords()[0].image);

    // Longer lines whose first 260 characters are a quoted real image:
    // refused, never cut down to that image.
    const std::string image258 = image257.substr(0, image257.size() - 4) + "n.bin";
    ASSERT_TRUE(WriteTextFile(image258, "image"));
    const std::string quoted258 = "\"" + image258 + "\"";
    const std::size_t nCallsBefore = m_device.Calls().size();
    for (std::size_t cch : {std::size_t(261), std::size_t(1000), MaxArguments()}) {
        std::string arguments = quoted258 + JunkOfLength(cch - quoted258.size());
        ASSERT_EQ(cch, arguments.size());
        EXPECT_EQ(EXIT_REFUSED, Run(arguments)) << cch;
    }
    EXPECT_EQ(nCallsBefore, m_device.Calls().size());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(LauncherCommandLineLength, TheProcessLimitIsWhereWeThinkItIs)
{
    // Guards the lengths above: one more character and there is no process.
    CChildProcess process;
    EXPECT_FALSE(process.Start(Launcher(), Prefix() + JunkOfLength(MaxArguments() + 1)));
}
