#pragma once
// Whether a CF_HDROP block is what the shell's DragQueryFile reads without
// looking past it: a DROPFILES header, a file list that starts after the
// header and inside the block (a wide one on a character boundary), and a
// list ended by its double terminator (in characters of the list's width)
// before the block ends. A data object from another program may hand over
// anything.

#include <cstddef>

bool IsWellFormedDropFiles(const void* pvBlock, std::size_t cbBlock);
