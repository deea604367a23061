# Build rules shared by the project's own targets.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KESTRUN_ARCH x64)
else()
  set(KESTRUN_ARCH x86)
endif()

# Warnings are errors in the project's own code (not in GoogleTest's).
function(kestrun_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Code that ends up in a deliverable: no exceptions, no RTTI.
function(kestrun_no_cxx_runtime target)
  kestrun_warnings(${target})
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>
    -ffunction-sections -fdata-sections)
  # Constant tables and strings aligned as the ABI needs, not to 32 bytes as
  # GCC does for speed: the messages and registry paths are read once.
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANG_AND_ID:CXX,GNU>:-malign-data=abi>)
  # 32-bit x86 unwinds through SEH frames on the stack: the DWARF tables GCC
  # emits by default serve only C++ exceptions, which this code never throws,
  # and no frame pointer is needed to walk it (as in optimised 32-bit
  # Windows code generally). (64-bit code keeps its .pdata/.xdata: the
  # platform unwinds with them.)
  if(KESTRUN_ARCH STREQUAL x86)
    target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables -fomit-frame-pointer)
  endif()
endfunction()

set(KESTRUN_MERGED_DATA_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/merged-data.ld)

# A linked Windows binary that must import nothing but system DLLs (and
# Lorvane.dll): the GCC and C++ runtimes are linked in statically, and release
# builds are stripped.
function(kestrun_static_runtime target)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--gc-sections
    $<$<NOT:$<CONFIG:Debug>>:-s> -Wl,-T,${KESTRUN_MERGED_DATA_SCRIPT})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KESTRUN_MERGED_DATA_SCRIPT})
  if(KESTRUN_ARCH STREQUAL x86)
    target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
  endif()
endfunction()

function(kestrun_deliverable target)
  kestrun_no_cxx_runtime(${target})
  kestrun_static_runtime(${target})
endfunction()
