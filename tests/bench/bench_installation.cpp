#include "bench_installation.h"

#include "support/temp_dir.h"

#include <windows.h>

#include <cstdio>
#include <fstream>

namespace {

const char APPLICATION_KEY[] = "Applications\\Kestrun.exe";
const char COMMAND_KEY[] = "Applications\\Kestrun.exe\\shell\\open\\command";

bool WriteFileBytes(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out);
}

bool SetLauncherCommand(const std::string& command)
{
    HKEY hKey = NULL;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, COMMAND_KEY, 0, NULL, 0, KEY_SET_VALUE, NULL, &hKey, NULL) !=
        ERROR_SUCCESS)
        return false;
    const LONG lResult = RegSetValueExA(hKey, NULL, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                        static_cast<DWORD>(command.size() + 1));
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

bool Fail(const char* pszStep, const std::string& what)
{
    std::fprintf(stderr, "benchmark installation: cannot %s %s (error %lu)\n", pszStep, what.c_str(), GetLastError());
    return false;
}

} // namespace

CBenchInstallation::~CBenchInstallation()
{
    if (m_root.empty())
        return;
    RegDeleteTreeA(HKEY_CLASSES_ROOT, APPLICATION_KEY);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, APPLICATION_KEY);
    SetEnvironmentVariableA("LORVANE_STANDIN_LOG", NULL);
    DeleteTree(m_root);
}

bool CBenchInstallation::Create(const std::string& sourceDirectory, const std::vector<std::string>& files)
{
    char szTemp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, szTemp);
    const std::string root = std::string(szTemp) + "kestrun-bench-" + std::to_string(GetCurrentProcessId());
    if (!CreateDirectoryA(root.c_str(), NULL))
        return Fail("create", root);
    m_root = root + "\\";
    for (const char* pszFolder : {"tool", "device", "images"})
        if (!CreateDirectoryA((m_root + pszFolder).c_str(), NULL))
            return Fail("create", m_root + pszFolder);
    for (const std::string& file : files)
        if (!CopyFileA((sourceDirectory + file).c_str(), ToolFile(file).c_str(), FALSE))
            return Fail("copy", sourceDirectory + file);

    // The stand-in's call log goes with the rest, not beside the library.
    SetEnvironmentVariableA("LORVANE_STANDIN_LOG", CallLog().c_str());
    if (!WriteSettings(0, 0))
        return false;
    if (!SetLauncherCommand(ToolFile("Kestrun.exe") + " \"%1\""))
        return Fail("register", ToolFile("Kestrun.exe"));
    return true;
}

bool CBenchInstallation::WriteSettings(unsigned long dwLatencyMs, unsigned long dwRateBytesPerSecond)
{
    const std::string settings = "[QUORVEX_KESTRUN]\r\nDnLoadAddr=0x8000\r\n"
                                 "[LORVANE_STANDIN]\r\nDeviceDir=" + m_root + "device\r\n"
                                 "LatencyMs=" + std::to_string(dwLatencyMs) + "\r\n"
                                 "RateBytesPerSecond=" + std::to_string(dwRateBytesPerSecond) + "\r\n";
    if (!WriteFileBytes(ToolFile("LORVANE_SET.INI"), settings))
        return Fail("write", ToolFile("LORVANE_SET.INI"));
    return true;
}

std::string CBenchInstallation::MakeImage(const std::string& name, std::size_t cbSize) const
{
    const std::string path = m_root + "images\\" + name;
    std::string content(cbSize, '\0');
    for (std::size_t i = 0; i < cbSize; ++i)
        content[i] = static_cast<char>((i * 31) & 0xFF);
    return WriteFileBytes(path, content) ? path : std::string();
}
