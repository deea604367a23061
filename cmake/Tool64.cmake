# The 32-bit build's third deliverable: Kestrun_Tool64.dll, the extension for
# 64-bit Explorer, built from the same sources by a 64-bit sub-build and
# placed beside the other deliverables, so one build yields everything a
# package ships. (A 64-bit build makes it as an ordinary target.)

option(KESTRUN_BUILD_TOOL64 "Build Kestrun_Tool64.dll in a 32-bit build too" ON)

if(KESTRUN_ARCH STREQUAL x86 AND KESTRUN_BUILD_TOOL64)
  include(ExternalProject)
  set(KESTRUN_TOOL64_DLL ${CMAKE_BINARY_DIR}/bin/Kestrun_Tool64.dll)
  ExternalProject_Add(kestrun_tool64
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/tool64
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchains/mingw-x64.cmake
      -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
      -DKESTRUN_BUILD_TESTS=OFF
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target Kestrun_Tool64
    INSTALL_COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/bin/Kestrun_Tool64.dll ${KESTRUN_TOOL64_DLL}
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${KESTRUN_TOOL64_DLL}
    USES_TERMINAL_BUILD ON)
elseif(TARGET Kestrun_Tool64)
  set(KESTRUN_TOOL64_DLL $<TARGET_FILE:Kestrun_Tool64>)
endif()
