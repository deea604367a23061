// KestrunBoot.exe: boots the device from an image as the launcher does, for
// scripts: it never shows a window, tells each step on the console and ends
// with an exit code that says what failed (exit_codes.h).

#include "boot_image.h"
#include "boot_options.h"
#include "boot_steps.h"
#include "command_arguments.h"
#include "console_interrupt.h"
#include "console_messages.h"
#include "console_observer.h"
#include "console_output.h"
#include "exit_codes.h"
#include "loaded_boot_library.h"

#include <windows.h>

namespace {

// Room for the arguments of a command line: each takes no more than its
// text on the line.
class CArgumentStorage
{
public:
    explicit CArgumentStorage(std::size_t cch)
        : m_cch(cch), m_psz(static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, cch * sizeof(wchar_t))))
    {
    }
    ~CArgumentStorage()
    {
        if (m_psz != NULL)
            HeapFree(GetProcessHeap(), 0, m_psz);
    }
    CArgumentStorage(const CArgumentStorage&) = delete;
    CArgumentStorage& operator=(const CArgumentStorage&) = delete;

    wchar_t* Get() const { return m_psz; }
    // None when it could not be allocated: the arguments then count as too long.
    std::size_t Size() const { return m_psz != NULL ? m_cch : 0; }

private:
    std::size_t m_cch;
    wchar_t* m_psz;
};

int ExitCodeOf(BOOT_OUTCOME outcome)
{
    switch (outcome) {
    case BOOT_BOOTED:
        return EXIT_BOOTED;
    case BOOT_NOT_CONNECTED:
        return EXIT_NOT_CONNECTED;
    case BOOT_TRANSFER_FAILED:
        return EXIT_TRANSFER_FAILED;
    default:
        return EXIT_NO_SETTINGS;
    }
}

int RunKestrunBoot()
{
    // Nor any box of the system's own: a broken boot library, or a crash in
    // it, ends the program instead of waiting for a click.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    const COutputStream output(STD_OUTPUT_HANDLE);
    const COutputStream errors(STD_ERROR_HANDLE);
    InstallInterruptHandler(&errors);

    // The UTF-16 command line: the ANSI one has lost what the code page lacks.
    LPCWSTR pszCommandLine = GetCommandLineW();
    const CArgumentStorage storage(static_cast<std::size_t>(lstrlenW(pszCommandLine)) + 1);
    CCommandArguments arguments(pszCommandLine, storage.Get(), storage.Size());
    BOOT_OPTIONS options;
    const wchar_t* pszArgument = nullptr;
    const OPTIONS_RESULT parsed = ParseBootOptions(arguments, &options, &pszArgument);
    if (parsed == OPTIONS_HELP) {
        WriteHelp(output);
        return EXIT_BOOTED;
    }
    if (parsed != OPTIONS_OK) {
        ReportOptionsError(parsed, pszArgument, errors);
        return EXIT_USAGE;
    }

    BOOT_IMAGE image;
    if (!CheckBootImage(options.pszImage, &image, errors))
        return EXIT_NOT_AN_IMAGE;

    CLoadedBootLibrary library;
    const BOOT_LIBRARY_LOAD load = library.LoadBesideProgram();
    if (load != BOOT_LIBRARY_LOADED) {
        ReportBootLibrary(load, library, errors);
        return EXIT_NO_BOOT_LIBRARY;
    }

    CConsoleBootObserver observer(options, image, output, errors);
    return ExitCodeOf(RunBootSteps(library, observer, image.szLibraryPath, NULL));
}

} // namespace

// The process entry (CMakeLists.txt): no C runtime start-up, which would
// parse an ANSI command line nobody reads and add half as much code again
// as the program's own. msvcrt.dll, whose string functions the program
// calls, sets itself up when it is loaded.
extern "C" void KestrunBootEntry()
{
    ExitProcess(static_cast<UINT>(RunKestrunBoot()));
}
