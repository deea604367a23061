#pragma once
// An open registry key that closes itself.

#include <windows.h>

class CRegistryKey
{
public:
    CRegistryKey() : m_hKey(NULL) {}
    ~CRegistryKey() { Close(); }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    LONG Open(HKEY hRoot, LPCSTR pszSubKey, REGSAM samDesired)
    {
        Close();
        return RegOpenKeyExA(hRoot, pszSubKey, 0, samDesired, &m_hKey);
    }

    void Close()
    {
        if (m_hKey != NULL) {
            RegCloseKey(m_hKey);
            m_hKey = NULL;
        }
    }

    HKEY Get() const { return m_hKey; }

private:
    HKEY m_hKey;
};
