# Shared part of the mingw-w64 toolchain files; the including file sets
# MEL_MINGW_TRIPLET. The POSIX-thread compilers are required: the win32-thread
# ones lack std::mutex and GoogleTest does not build with them.
set(CMAKE_C_COMPILER   ${MEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${MEL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
