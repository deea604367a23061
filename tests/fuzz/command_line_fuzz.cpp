// The launcher's command line: the image path is the command line without
// its first and last character when it has 2 to 260 characters, empty when
// it has fewer, refused when it has more; the buffer is zero-filled after the
// path and nothing is written outside it. The launcher boots exactly when
// that path is accepted and names a boot image.

#include "boot_image_name.h"
#include "command_line.h"
#include "fuzz_support.h"

namespace {

const std::size_t MAX_COMMAND_LINE = PATH_BUFFER_SIZE;

bool ReferenceIsBootImage(const std::string& path)
{
    for (const char* pszEnd : {".bin", ".BIN"})
        if (path.size() >= 4 && path.compare(path.size() - 4, 4, pszEnd) == 0)
            return true;
    return false;
}

void CheckCommandLine(const CFuzzText& commandLine)
{
    const std::size_t cch = commandLine.Length();
    GUARDED_PATH image;
    const bool bAccepted = ImagePathFromCommandLine(commandLine.Get(), image.szPath);

    FUZZ_CHECK(image.GuardsIntact());
    FUZZ_CHECK(bAccepted == (cch <= MAX_COMMAND_LINE));
    std::string expected;
    if (bAccepted && cch >= 2)
        expected = commandLine.Str().substr(1, cch - 2);
    FUZZ_CHECK(image.HoldsZeroFilled(expected));

    // What the launcher's entry decides from it.
    const bool bBoots = bAccepted && IsBootImageName(image.szPath);
    FUZZ_CHECK(bBoots == (cch >= 2 && cch <= MAX_COMMAND_LINE && ReferenceIsBootImage(expected)));
}

// A command line longer than any that is taken needs no terminator: it is
// refused after at most MAX_COMMAND_LINE + 1 characters.
void CheckUnterminated(const std::uint8_t* pData, std::size_t cbData)
{
    std::unique_ptr<char[]> pCommandLine = UnterminatedLongerThan(pData, cbData, MAX_COMMAND_LINE);
    if (!pCommandLine)
        return;
    GUARDED_PATH image;
    FUZZ_CHECK(!ImagePathFromCommandLine(pCommandLine.get(), image.szPath));
    FUZZ_CHECK(image.GuardsIntact());
    FUZZ_CHECK(image.HoldsZeroFilled(std::string()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData)
{
    CheckCommandLine(CFuzzText(pData, cbData));
    CheckUnterminated(pData, cbData);
    return 0;
}
