# Cross-compiles for 64-bit Windows with mingw-w64 and runs the resulting
# programs (the test executables) under Wine, so one ctest call drives them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MEL_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Only 64-bit Windows programs can run on this kind of machine.
find_program(MEL_WINE_PROGRAM NAMES wine wine64)
if(MEL_WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MEL_WINE_PROGRAM})
endif()
