# Cross-compiling for Windows x86-64 with Debian's mingw-w64 (the posix thread model, for
# std::thread and std::mutex). libstdc++, libgcc and winpthread are linked statically,
# so the DLLs and programs need nothing beside them but Windows itself.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VANTELLE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VANTELLE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTELLE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTELLE_MINGW_PREFIX}-windres)
set(CMAKE_AR ${VANTELLE_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VANTELLE_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

# Libraries built for Windows go to one prefix beside the build (see windows/deps.cmake);
# nothing of the Linux system may be found by accident.
set(CMAKE_FIND_ROOT_PATH /usr/${VANTELLE_MINGW_PREFIX})
if(VANTELLE_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${VANTELLE_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static takes libstdc++, libgcc and winpthread from their archives; our own DLLs are
# still linked through their import libraries. A DLL exports its own code only, not what
# it took from those archives (each DLL and program has its own copy).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--exclude-libs,ALL")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -Wl,--exclude-libs,ALL")

# Test programs run under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)  # Debian keeps it off PATH
