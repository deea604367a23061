// The tool directory and the settings path from arbitrary command texts:
// the directory ends at the last backslash, and the settings path is the
// directory and the file name exactly when they fit a path buffer, with no
// write outside it either way.

#include "fuzz_support.h"
#include "tool_directory.h"

namespace {

const std::string SETTINGS_NAME = "LORVANE_SET.INI";
const std::size_t MAX_DIRECTORY = PATH_BUFFER_SIZE - 1 - 15;

std::size_t ReferenceDirectoryLength(const std::string& command)
{
    for (std::size_t i = command.size(); i > 0; --i)
        if (command[i - 1] == '\\')
            return i;
    return 0;
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
    const std::size_t cchDirectory = ToolDirectoryLength(command.Get());
    FUZZ_CHECK(cchDirectory == ReferenceDirectoryLength(command.Str()));

    // The way the request uses them: the command cut after its last
    // backslash, then the settings path from that directory.
    CheckSettingsPath(command.Str().substr(0, cchDirectory));
    // And any text as a directory.
    CheckSettingsPath(command.Str());
    CheckUnterminated(pData, cbData);
    return 0;
}
