#pragma once
// A complete simulated installation for one test: a tool folder registered as
// the launcher's, its settings file, a device folder for the stand-in boot
// library and the stand-in's call log (LORVANE_STANDIN_LOG, inherited by
// child processes).

#include "launcher_registration.h"
#include "temp_dir.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct STANDIN_CALL
{
    std::string name;                              // Load_IniFile, Kestrun.begin, Kestrun
    std::map<std::string, std::string> fields;     // pid, tid, settings, image, length, address, result
    DWORD ThreadId() const { return std::stoul(fields.at("tid")); }
};

struct DEVICE_RECORD
{
    std::string file;        // in the device folder
    std::uint32_t address;
    std::uint64_t bytes;
    std::string image;
};

struct STANDIN_TIMING
{
    DWORD dwLatencyMs = 0;
    DWORD dwRateBytesPerSecond = 0;   // 0: instant
};

class CStandinDevice
{
public:
    CStandinDevice();
    ~CStandinDevice();

    // Tool folder with a trailing backslash; the launcher is registered in it.
    std::string ToolDirectory() const { return m_root / "tool\\"; }
    std::string SettingsPath() const { return ToolDirectory() + "LORVANE_SET.INI"; }
    std::string DeviceDirectory() const { return m_root / "device"; }
    std::string CallLogPath() const { return m_root / "calls.log"; }
    std::string LauncherCommand() const { return ToolDirectory() + "Kestrun.exe \"%1\""; }
    CLauncherRegistration& Registration() { return m_registration; }

    // Places the test build's Kestrun.exe and stand-in Lorvane.dll in the
    // tool folder, where the registered open command names the launcher.
    void InstallLauncher() const;

    // Rewrites the settings file. An empty address text leaves DnLoadAddr out.
    void WriteSettings(const std::string& downloadAddress, STANDIN_TIMING timing = STANDIN_TIMING());
    void Disconnect();

    // A file of the given size with a recognisable pattern, in a images folder.
    std::string MakeImage(const std::string& name, std::size_t cbSize) const;

    std::vector<STANDIN_CALL> Calls() const;
    std::vector<STANDIN_CALL> Calls(const std::string& name) const;
    bool WaitForCalls(const std::string& name, std::size_t nCalls, DWORD dwTimeoutMs) const;
    std::vector<DEVICE_RECORD> DeviceRecords() const;
    std::string ArrivedBytes(const DEVICE_RECORD& record) const;

private:
    CTempDir m_root;
    CLauncherRegistration m_registration;
};
