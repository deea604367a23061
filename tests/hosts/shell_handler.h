#pragma once
// What the host programs share in playing Explorer towards the context-menu
// handlers registered for all files: where they are listed, activation by
// class ID, and the file as the shell hands it to them.

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

extern const char HANDLERS_KEY[];

template <class T>
class CComPtr
{
public:
    CComPtr() = default;
    ~CComPtr() { if (m_p) m_p->Release(); }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;
    T** operator&() { return &m_p; }
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
private:
    T* m_p = nullptr;
};

// The default value of hRoot\subKey as text; false when it has none.
bool ReadDefault(HKEY hRoot, const std::string& subKey, std::string* value);

// A class ID in registry form ("{...}"); false when it is not one.
bool ClassIdFromText(const std::string& clsidText, CLSID* pClsid);

// The file as the shell hands it to a context-menu handler.
HRESULT ShellDataObject(const std::wstring& file, IDataObject** ppData);

// The program's arguments in UTF-16: file names the ANSI code page cannot
// spell reach the host intact.
std::wstring WideArgument(int index);
