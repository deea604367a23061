#include "launcher_registration.h"

#include <gtest/gtest.h>
#include <sddl.h>

const char LAUNCHER_COMMAND_SUBKEY[] = "Applications\\Kestrun.exe\\shell\\open\\command";

namespace {

const char APPLICATION_KEY[] = "Applications\\Kestrun.exe";

HKEY CreateCommandKey()
{
    HKEY hKey = NULL;
    LONG lResult = RegCreateKeyExA(HKEY_CLASSES_ROOT, LAUNCHER_COMMAND_SUBKEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                   &hKey, NULL);
    EXPECT_EQ(ERROR_SUCCESS, lResult);
    return hKey;
}

} // namespace

CLauncherRegistration::CLauncherRegistration()
{
    Remove();
}

CLauncherRegistration::~CLauncherRegistration()
{
    Remove();
}

void CLauncherRegistration::SetCommand(const std::string& text)
{
    SetRaw(REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void CLauncherRegistration::SetRaw(DWORD dwType, const void* pData, DWORD cbData)
{
    HKEY hKey = CreateCommandKey();
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(hKey, NULL, 0, dwType, static_cast<const BYTE*>(pData), cbData));
    RegCloseKey(hKey);
}

void CLauncherRegistration::RestrictAccess(const char* pszSddl)
{
    PSECURITY_DESCRIPTOR pDescriptor = NULL;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(pszSddl, SDDL_REVISION_1, &pDescriptor, NULL));
    HKEY hKey = CreateCommandKey();
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pDescriptor));
    RegCloseKey(hKey);
    LocalFree(pDescriptor);
}

void CLauncherRegistration::Remove()
{
    // The owner may always rewrite the access list: open the key up again
    // before deleting it.
    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, LAUNCHER_COMMAND_SUBKEY, 0, WRITE_DAC, &hKey) == ERROR_SUCCESS) {
        PSECURITY_DESCRIPTOR pDescriptor = NULL;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;KA;;;WD)", SDDL_REVISION_1, &pDescriptor, NULL)) {
            RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pDescriptor);
            LocalFree(pDescriptor);
        }
        RegCloseKey(hKey);
    }
    RegDeleteTreeA(HKEY_CLASSES_ROOT, APPLICATION_KEY);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, APPLICATION_KEY);
}
