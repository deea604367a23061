#include "path_buffer.h"

bool CopyPath(PATHBUFFER& szTarget, const char* pszSource)
{
    std::size_t i = 0;
    if (pszSource != nullptr) {
        for (; i < PATH_BUFFER_SIZE - 1 && pszSource[i] != '\0'; ++i)
            szTarget[i] = pszSource[i];
    }
    szTarget[i] = '\0';
    return pszSource == nullptr || pszSource[i] == '\0';
}
