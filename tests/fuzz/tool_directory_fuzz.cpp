// The tool directory and the settings path from arbitrary command texts:
// the directory begins after one leading quote and ends at the last
// backslash after it, and the settings path is the
// directory and the file name exactly when they fit a path buffer, with no
// write outside it either way.

#include "fuzz_support.h"
#include "tool_directory.h"

namespace {

const std::string SETTINGS_NAME = "LORVANE_SET.INI";
const std::size_t MAX_DIRECTORY = PATH_BUFFER_SIZE - 1 - 15;

// The directory as a substring of the command, or none.
std::string ReferenceDirectory(const std::string& command)
{
    const std::size_t ichFirst = !command.empty() && command[0] == '"' ? 1 : 0;
    const std::size_t ichBackslash = command.rfind('\\');
    if (ichBackslash == std::string::npos || ichBackslash < ichFirst)
        return std::string();
    return command.substr(ichFirst, ichBackslash + 1 - ichFirst);
}

// SettingsFilePath of one directory text, whatever it holds.
void CheckSettingsPath(const std::string& directory)
{
    GUARDED_PATH settings;
    const bool bFits = SettingsFilePath(directory.c_str(), settings.szPath);
    FUZZ_CHECK(settings.GuardsIntact());
    FUZZ_CHECK(bFits == (directory.size() <= MAX_DIRECTORY));
    FUZZ_CHECK(settings.HoldsZeroFilled(bFits ? directory + SETTINGS_NAME : std::string()));
}

// A directory text longer than any that fits needs no terminator: it is
// refused after at most MAX_DIRECTORY + 1 characters.
void CheckUnterminated(const std::uint8_t* pData, std::size_t cbData)
{
    std::unique_ptr<char[]> pDirectory = UnterminatedLongerThan(pData, cbData, MAX_DIRECTORY);
    if (!pDirectory)
        return;
    GUARDED_PATH settings;
    FUZZ_CHECK(!SettingsFilePath(pDirectory.get(), settings.szPath));
    FUZZ_CHECK(settings.GuardsIntact());
    FUZZ_CHECK(settings.HoldsZeroFilled(std::string()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData)
{
    const CFuzzText command(pData, cbData);
    const TOOL_DIRECTORY_SPAN span = FindToolDirectory(command.Get());
    FUZZ_CHECK(span.cch == 0 || span.ichFirst + span.cch <= command.Length());
    const std::string directory = span.cch == 0 ? std::string() : command.Str().substr(span.ichFirst, span.cch);
    FUZZ_CHECK(directory == ReferenceDirectory(command.Str()));

    // The way the request uses them: the directory, then the settings path
    // from it.
    CheckSettingsPath(directory);
    // And any text as a directory.
    CheckSettingsPath(command.Str());
    CheckUnterminated(pData, cbData);
    return 0;
}
