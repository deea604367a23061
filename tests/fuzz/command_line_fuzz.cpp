// The launcher's command line: the arguments are what follows the program
// name (which runs to the first character up to a blank outside quotes) and
// the blanks after it; the image path is the arguments without their first
// and last character when they have 2 to 260 characters, empty when fewer,
// refused when more; the buffer is zero-filled after the path and nothing is
// written outside it. The launcher boots exactly when that path is accepted
// and names a boot image.

#include "boot_image_name.h"
#include "command_line.h"
#include "fuzz_support.h"

namespace {

const std::size_t MAX_COMMAND_LINE = PATH_BUFFER_SIZE;

bool ReferenceIsBootImage(const std::wstring& path)
{
    for (const wchar_t* pszEnd : {L".bin", L".BIN"})
        if (path.size() >= 4 && path.compare(path.size() - 4, 4, pszEnd) == 0)
            return true;
    return false;
}

// The same rule by index: count the quotes seen so far.
std::size_t ReferenceArgumentsStart(const std::wstring& line)
{
    std::size_t i = 0;
    std::size_t nQuotes = 0;
    for (; i < line.size(); ++i) {
        if (line[i] <= L' ' && nQuotes % 2 == 0)
            break;
        if (line[i] == L'"')
            ++nQuotes;
    }
    while (i < line.size() && line[i] <= L' ')
        ++i;
    return i;
}

void CheckArguments(const CFuzzWideText& commandLine)
{
    const wchar_t* pszArguments = ArgumentsOfCommandLine(commandLine.Get());
    FUZZ_CHECK(pszArguments >= commandLine.Get() && pszArguments <= commandLine.Get() + commandLine.Length());
    FUZZ_CHECK(static_cast<std::size_t>(pszArguments - commandLine.Get()) == ReferenceArgumentsStart(commandLine.Str()));
}

void CheckImagePath(const CFuzzWideText& arguments)
{
    const std::size_t cch = arguments.Length();
    GUARDED_WIDE_PATH image;
    const bool bAccepted = ImagePathFromCommandLine(arguments.Get(), image.szPath);

    FUZZ_CHECK(image.GuardsIntact());
    FUZZ_CHECK(bAccepted == (cch <= MAX_COMMAND_LINE));
    std::wstring expected;
    if (bAccepted && cch >= 2)
        expected = arguments.Str().substr(1, cch - 2);
    FUZZ_CHECK(image.HoldsZeroFilled(expected));

    // What the launcher's entry decides from it.
    const bool bBoots = bAccepted && IsBootImageName(image.szPath);
    FUZZ_CHECK(bBoots == (cch >= 2 && cch <= MAX_COMMAND_LINE && ReferenceIsBootImage(expected)));
}

// Arguments longer than any that are taken need no terminator: they are
// refused after at most MAX_COMMAND_LINE + 1 characters.
void CheckUnterminated(const CFuzzWideText& arguments)
{
    if (arguments.Length() <= MAX_COMMAND_LINE)
        return;
    std::unique_ptr<wchar_t[]> pArguments(new wchar_t[arguments.Length()]);
    std::memcpy(pArguments.get(), arguments.Get(), arguments.Length() * sizeof(wchar_t));
    GUARDED_WIDE_PATH image;
    FUZZ_CHECK(!ImagePathFromCommandLine(pArguments.get(), image.szPath));
    FUZZ_CHECK(image.GuardsIntact());
    FUZZ_CHECK(image.HoldsZeroFilled(std::wstring()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData)
{
    const CFuzzWideText text(pData, cbData);
    CheckArguments(text);
    CheckImagePath(text);
    CheckUnterminated(text);
    return 0;
}
