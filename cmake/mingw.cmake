# Cross toolchain for the Windows builds. TAPWIRE_MINGW_ARCH selects the target:
# i686 (the shipped 32-bit programs) or x86_64 (the build the Wine tests run).
set(TAPWIRE_MINGW_ARCH "x86_64" CACHE STRING "MinGW-w64 target: i686 or x86_64")
set(_triple "${TAPWIRE_MINGW_ARCH}-w64-mingw32")

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TAPWIRE_MINGW_ARCH})
# The -posix compilers: the -win32 thread model has no std::thread or std::mutex.
set(CMAKE_C_COMPILER   ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER  ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

if(TAPWIRE_MINGW_ARCH STREQUAL "x86_64")
  # Only 64-bit programs run under this machine's Wine: ctest runs them through it.
  set(CMAKE_CROSSCOMPILING_EMULATOR wine)
endif()
