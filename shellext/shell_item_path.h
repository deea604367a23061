#pragma once
// The true (file-system) path of the first item of a shell item array, as
// Windows hands a packaged verb its selection.

#include "path_buffer.h"

#include <windows.h>
#include <shobjidl.h>

// Fills szPath (zero-filled first). E_INVALIDARG, with an empty path, for a
// null or empty array, an item that cannot be had or has no file-system path,
// and a path that does not fit the buffer with its terminator: cut short, it
// would name another file.
HRESULT FirstItemPath(IShellItemArray* psiItemArray, WIDEPATHBUFFER& szPath);
