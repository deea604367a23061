# The -posix variants: GoogleTest needs std::mutex, which the win32 threading
# variant of GCC 12 lacks. The deliverables link the runtime statically, so the
# variant adds no DLL dependency.
set(CMAKE_C_COMPILER   ${KESTRUN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRUN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${KESTRUN_TRIPLE}-windres)
set(CMAKE_DLLTOOL      ${KESTRUN_TRIPLE}-dlltool)
set(KESTRUN_WIDL       ${KESTRUN_TRIPLE}-widl)
set(CMAKE_FIND_ROOT_PATH /usr/${KESTRUN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
