#include "standin_device.h"

#include "text_file.h"

#include <gtest/gtest.h>

CStandinDevice::CStandinDevice()
{
    CreateDirectoryA(ToolDirectory().c_str(), NULL);
    CreateDirectoryA(DeviceDirectory().c_str(), NULL);
    CreateDirectoryA((m_root / "images").c_str(), NULL);
    SetEnvironmentVariableA("LORVANE_STANDIN_LOG", CallLogPath().c_str());
    WriteSettings("0x8000");
    m_registration.SetCommand(LauncherCommand());
}

CStandinDevice::~CStandinDevice()
{
    SetEnvironmentVariableA("LORVANE_STANDIN_LOG", NULL);
}

void CStandinDevice::WriteSettings(const std::string& downloadAddress, STANDIN_TIMING timing)
{
    std::string text = "[QUORVEX_KESTRUN]\r\n";
    if (!downloadAddress.empty())
        text += "DnLoadAddr=" + downloadAddress + "\r\n";
    text += "[LORVANE_STANDIN]\r\n";
    text += "DeviceDir=" + DeviceDirectory() + "\r\n";
    text += "LatencyMs=" + std::to_string(timing.dwLatencyMs) + "\r\n";
    text += "RateBytesPerSecond=" + std::to_string(timing.dwRateBytesPerSecond) + "\r\n";
    ASSERT_TRUE(WriteTextFile(SettingsPath(), text));
}

void CStandinDevice::InstallLauncher() const
{
    for (const char* pszFile : {"Kestrun.exe", "Lorvane.dll"})
        EXPECT_TRUE(CopyFileA((ProgramDirectory() + pszFile).c_str(), (ToolDirectory() + pszFile).c_str(), FALSE))
            << pszFile;
}

void CStandinDevice::Disconnect()
{
    DeleteTree(DeviceDirectory());
}

std::string CStandinDevice::MakeImage(const std::string& name, std::size_t cbSize) const
{
    std::string content(cbSize, '\0');
    for (std::size_t i = 0; i < cbSize; ++i)
        content[i] = static_cast<char>((i * 31 + name.size()) & 0xFF);
    std::string path = m_root / ("images\\" + name);
    EXPECT_TRUE(WriteTextFile(path, content)) << path;
    return path;
}

std::vector<STANDIN_CALL> CStandinDevice::Calls() const
{
    std::vector<STANDIN_CALL> calls;
    for (const std::string& line : ReadLines(CallLogPath())) {
        std::vector<std::string> parts = Split(line, '\t');
        STANDIN_CALL call;
        for (const std::string& part : parts) {
            std::string::size_type equals = part.find('=');
            if (equals == std::string::npos)
                call.name = part;
            else
                call.fields[part.substr(0, equals)] = part.substr(equals + 1);
        }
        calls.push_back(call);
    }
    return calls;
}

std::vector<STANDIN_CALL> CStandinDevice::Calls(const std::string& name) const
{
    std::vector<STANDIN_CALL> selected;
    for (const STANDIN_CALL& call : Calls())
        if (call.name == name)
            selected.push_back(call);
    return selected;
}

bool CStandinDevice::WaitForCalls(const std::string& name, std::size_t nCalls, DWORD dwTimeoutMs) const
{
    const DWORD dwStart = GetTickCount();
    while (Calls(name).size() < nCalls) {
        if (GetTickCount() - dwStart >= dwTimeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

std::vector<DEVICE_RECORD> CStandinDevice::DeviceRecords() const
{
    std::vector<DEVICE_RECORD> records;
    for (const std::string& line : ReadLines(DeviceDirectory() + "\\device.log")) {
        std::vector<std::string> parts = Split(line, '\t');
        if (parts.size() != 4)
            continue;
        DEVICE_RECORD record;
        record.file = parts[0];
        record.address = static_cast<std::uint32_t>(std::stoul(parts[1].substr(parts[1].find('=') + 1), nullptr, 16));
        record.bytes = std::stoull(parts[2].substr(parts[2].find('=') + 1));
        record.image = parts[3].substr(parts[3].find('=') + 1);
        records.push_back(record);
    }
    return records;
}

std::string CStandinDevice::ArrivedBytes(const DEVICE_RECORD& record) const
{
    std::string content;
    ReadTextFile(DeviceDirectory() + "\\" + record.file, &content);
    return content;
}
