# CMake toolchain for 64-bit Windows with Debian's MinGW-w64 cross compilers (the posix thread
# flavour, which std::thread needs). KESTRANE_WINDOWS_DEPS names the prefix the dependencies were
# cross-built into (scripts/windows): headers, import libraries, DLLs and pkg-config files.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)

if(NOT KESTRANE_WINDOWS_DEPS AND DEFINED ENV{KESTRANE_WINDOWS_DEPS})
  set(KESTRANE_WINDOWS_DEPS $ENV{KESTRANE_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE} ${KESTRANE_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the cross-built dependencies, never the build machine's own .pc files.
if(KESTRANE_WINDOWS_DEPS)
  set(ENV{PKG_CONFIG_LIBDIR} ${KESTRANE_WINDOWS_DEPS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
