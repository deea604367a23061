#include "console_messages.h"

const char ERROR_PREFIX[] = "KestrunBoot: ";

namespace {

const char USAGE[] = "KestrunBoot [--settings FILE] [--address ADDRESS] [--wait-device SECONDS] IMAGE";

const char HELP[] =
    "Boots the USB-attached device from a .bin image, as opening the image with Kestrun.exe does,\n"
    "and never shows a window: it tells each step here and ends with an exit code.\n"
    "\n"
    "  IMAGE                  the image file; its name ends in .bin or .BIN\n"
    "  --settings FILE        the settings file for the boot library, instead of LORVANE_SET.INI\n"
    "                         in the folder of the registered Kestrun.exe\n"
    "  --address ADDRESS      the load address, decimal or 0x hex (32-bit), instead of DnLoadAddr\n"
    "  --wait-device SECONDS  wait up to SECONDS for the device, trying every half second\n"
    "  --                     ends the options: an IMAGE that starts with - follows it\n"
    "  --help                 this text\n"
    "\n"
    "Options may follow IMAGE. The boot library Lorvane.dll is loaded from this program's folder only.\n"
    "Ctrl+C ends the program while it waits for the device; during the transfer it is refused.\n"
    "\n"
    "Exit codes:\n"
    "  0    booted\n"
    "  2    usage: an unknown option, a missing or extra argument, a bad address or number\n"
    "  3    not a boot image, or a name the boot library cannot be given\n"
    "  4    no usable registration or settings file\n"
    "  5    device not connected (after the wait, if one was asked for)\n"
    "  6    transfer failed\n"
    "  7    the boot library Lorvane.dll could not be loaded\n"
    "  130  interrupted by Ctrl+C before the transfer\n";

const char SEE_HELP[] = " Run KestrunBoot --help for the usage.";

} // namespace

void WriteHelp(const COutputStream& output)
{
    CLine(output).Text(USAGE);
    CLine(output).Text("");
    // One line at a time: CLine turns a line feed into a blank.
    const char* pszLine = HELP;
    while (*pszLine != '\0') {
        char szLine[128];
        std::size_t cch = 0;
        while (pszLine[cch] != '\n' && pszLine[cch] != '\0' && cch < sizeof(szLine) - 1) {
            szLine[cch] = pszLine[cch];
            ++cch;
        }
        szLine[cch] = '\0';
        CLine(output).Text(szLine);
        pszLine += cch;
        if (*pszLine == '\n')
            ++pszLine;
    }
}

void ReportOptionsError(OPTIONS_RESULT result, const wchar_t* pszArgument, const COutputStream& errors)
{
    CLine line(errors);
    line.Text(ERROR_PREFIX);
    switch (result) {
    case OPTIONS_UNKNOWN:
        line.Text("unknown option ").Text(pszArgument).Text(" (an image whose name starts with - follows --).");
        break;
    case OPTIONS_NO_VALUE:
        line.Text(pszArgument).Text(" needs a value.");
        break;
    case OPTIONS_BAD_ADDRESS:
        line.Text("bad --address \"").Text(pszArgument)
            .Text("\": give decimal digits, or 0x and hex digits, at most 0xFFFFFFFF.");
        break;
    case OPTIONS_BAD_SECONDS:
        line.Text("bad --wait-device \"").Text(pszArgument).Text("\": give a whole number of seconds, at most 4294967295.");
        break;
    case OPTIONS_REPEATED:
        line.Text(pszArgument).Text(" given twice.");
        break;
    case OPTIONS_NO_IMAGE:
        line.Text("no image given (").Text(USAGE).Text(").");
        break;
    case OPTIONS_EXTRA_ARGUMENT:
        line.Text("a second image: ").Text(pszArgument).Text(" (give one image; quote a path with blanks).");
        break;
    default:
        line.Text("the command line is too long.");
        break;
    }
    line.Text(SEE_HELP);
}

void ReportBootLibrary(BOOT_LIBRARY_LOAD load, const CLoadedBootLibrary& library, const COutputStream& errors)
{
    CLine line(errors);
    line.Text(ERROR_PREFIX);
    switch (load) {
    case BOOT_LIBRARY_NO_PATH:
        line.Text("the path of KestrunBoot.exe is too long to name the boot library beside it. Install Kestrun in a "
                  "shorter folder.");
        break;
    case BOOT_LIBRARY_NO_ENTRY:
        line.Text("the boot library ").Text(library.Path()).Text(" has no function ").Text(library.MissingEntry())
            .Text(": it is not the vendor's Lorvane.dll. Place the vendor's Lorvane.dll beside KestrunBoot.exe.");
        break;
    default:
        if (GetFileAttributesW(library.Path()) == INVALID_FILE_ATTRIBUTES)
            line.Text("the boot library ").Text(library.Path()).Text(" is missing.");
        else
            line.Text("the boot library ").Text(library.Path()).Text(" cannot be loaded (error ")
                .Decimal(library.Error()).Text(").");
        line.Text(" Place the vendor's Lorvane.dll beside KestrunBoot.exe.");
        break;
    }
}
