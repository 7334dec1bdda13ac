# Cross-compiles for 64-bit Windows with Debian's MinGW-w64. The compilers
# with the POSIX thread model have the C++ thread library, which GoogleTest
# needs; linked statically, it adds no DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(LUMIVIS_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LUMIVIS_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMIVIS_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMIVIS_MINGW_TRIPLET}-windres)

# Libraries and headers come from the cross sysroot and from the prefixes
# given as CMAKE_FIND_ROOT_PATH (our freeglut build); programs such as
# Python run on the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${LUMIVIS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests that run a built program do so through Wine.
find_program(LUMIVIS_WINE wine)
if(LUMIVIS_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMIVIS_WINE})
endif()

# The build machine's pkg-config would hand out its own libraries' flags.
set(CMAKE_DISABLE_FIND_PACKAGE_PkgConfig TRUE)
