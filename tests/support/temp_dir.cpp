#include "temp_dir.h"

#include <windows.h>

CTempDir::CTempDir()
{
    char szTemp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, szTemp);
    static LONG s_nCount = 0;
    for (;;) {
        std::string candidate = std::string(szTemp) + "kestrun-" + std::to_string(GetCurrentProcessId()) + "-" +
                                std::to_string(InterlockedIncrement(&s_nCount));
        if (CreateDirectoryA(candidate.c_str(), NULL)) {
            m_path = candidate + "\\";
            return;
        }
    }
}

CTempDir::~CTempDir()
{
    DeleteTree(m_path);
}

namespace {

// In UTF-16: names the ANSI code page cannot spell come back from the A
// functions as "?" and could not be deleted.
void DeleteTreeW(std::wstring folder)
{
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTreeW(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(hFind, &data));
        FindClose(hFind);
    }
    RemoveDirectoryW(folder.c_str());
}

} // namespace

void DeleteTree(const std::string& path)
{
    WCHAR szPath[MAX_PATH * 2] = {};
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, szPath, MAX_PATH * 2) > 0)
        DeleteTreeW(szPath);
}
