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

void DeleteTree(const std::string& path)
{
    std::string folder = path;
    if (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    WIN32_FIND_DATAA data;
    HANDLE hFind = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = folder + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(hFind, &data));
        FindClose(hFind);
    }
    RemoveDirectoryA(folder.c_str());
}
