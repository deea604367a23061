#pragma once
// A throw-away installation for the benchmarks, in the benchmark's own Wine
// prefix: a tool folder with copies of the programs to start and a settings
// file that sets the stand-in boot library to instant, the launcher's shell
// registration pointing into that folder, a device folder and a folder for
// images. Everything is removed again on destruction.

#include <cstddef>
#include <string>
#include <vector>

class CBenchInstallation
{
public:
    CBenchInstallation() = default;
    ~CBenchInstallation();
    CBenchInstallation(const CBenchInstallation&) = delete;
    CBenchInstallation& operator=(const CBenchInstallation&) = delete;

    // Copies the named files from sourceDirectory (trailing backslash) into
    // the tool folder and writes the settings and the registration. False,
    // with a message, when any step fails.
    bool Create(const std::string& sourceDirectory, const std::vector<std::string>& files);

    // Rewrites the settings file with the stand-in's time before the first
    // byte moves and its transfer rate (0: instant, as Create writes it).
    bool WriteSettings(unsigned long dwLatencyMs, unsigned long dwRateBytesPerSecond);

    // The stand-in's call log, one line a call.
    std::string CallLog() const { return m_root + "calls.log"; }

    // A file of the tool folder, as the registration names it.
    std::string ToolFile(const std::string& name) const { return m_root + "tool\\" + name; }

    // A file of cbSize bytes in the images folder; its path, empty on failure.
    std::string MakeImage(const std::string& name, std::size_t cbSize) const;

private:
    std::string m_root;   // trailing backslash; empty until Create
};
