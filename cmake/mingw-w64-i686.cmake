# Cross-compiles for 32-bit Windows with mingw-w64. Compile-only here: the
# kernel of this kind of machine cannot execute 32-bit code, so no emulator
# is set and the test executables are built but not registered for running.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(MEL_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
