#include "drop_files_check.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

namespace {

// The list's characters, one width or the other, read without alignment.
unsigned Character(const unsigned char* pb, std::size_t ib, bool bWide)
{
    if (!bWide)
        return pb[ib];
    unsigned short us = 0;
    std::memcpy(&us, pb + ib, sizeof(us));
    return us;
}

} // namespace

bool IsWellFormedDropFiles(const void* pvBlock, std::size_t cbBlock)
{
    if (pvBlock == nullptr || cbBlock < sizeof(DROPFILES))
        return false;
    DROPFILES header;
    std::memcpy(&header, pvBlock, sizeof(header));
    if (header.pFiles < sizeof(DROPFILES) || header.pFiles >= cbBlock)
        return false;

    const unsigned char* pb = static_cast<const unsigned char*>(pvBlock);
    const bool bWide = header.fWide != FALSE;
    const std::size_t cbChar = bWide ? 2 : 1;
    // The list ends at the first empty name: a terminator right after one.
    bool bAfterTerminator = true;   // an empty list is one terminator more
    for (std::size_t ib = header.pFiles; ib + cbChar <= cbBlock; ib += cbChar) {
        const bool bTerminator = Character(pb, ib, bWide) == 0;
        if (bTerminator && bAfterTerminator)
            return ib != header.pFiles;   // no file at all is not a selection
        bAfterTerminator = bTerminator;
    }
    return false;
}
