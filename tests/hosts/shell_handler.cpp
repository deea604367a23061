#include "shell_handler.h"

const char HANDLERS_KEY[] = "*\\ShellEx\\ContextMenuHandlers";

bool ReadDefault(HKEY hRoot, const std::string& subKey, std::string* value)
{
    char szValue[1024] = {};
    DWORD cb = sizeof(szValue) - 1;
    if (RegGetValueA(hRoot, subKey.c_str(), NULL, RRF_RT_REG_SZ, NULL, szValue, &cb) != ERROR_SUCCESS)
        return false;
    *value = szValue;
    return true;
}

bool ClassIdFromText(const std::string& clsidText, CLSID* pClsid)
{
    WCHAR wszClsid[64] = {};
    MultiByteToWideChar(CP_ACP, 0, clsidText.c_str(), -1, wszClsid, 64);
    return SUCCEEDED(CLSIDFromString(wszClsid, pClsid));
}

HRESULT ShellDataObject(const std::wstring& file, IDataObject** ppData)
{
    PIDLIST_ABSOLUTE pidl = NULL;
    HRESULT hr = SHParseDisplayName(file.c_str(), NULL, &pidl, 0, NULL);
    if (FAILED(hr))
        return hr;
    CComPtr<IShellFolder> folder;
    PCUITEMID_CHILD pidlChild = NULL;
    hr = SHBindToParent(pidl, IID_IShellFolder, reinterpret_cast<void**>(&folder), &pidlChild);
    if (SUCCEEDED(hr))
        hr = folder->GetUIObjectOf(NULL, 1, &pidlChild, IID_IDataObject, NULL, reinterpret_cast<void**>(ppData));
    CoTaskMemFree(pidl);
    return hr;
}

std::wstring WideArgument(int index)
{
    int nArgs = 0;
    LPWSTR* ppszArgs = CommandLineToArgvW(GetCommandLineW(), &nArgs);
    std::wstring argument;
    if (ppszArgs != NULL && index < nArgs)
        argument = ppszArgs[index];
    LocalFree(ppszArgs);
    return argument;
}
