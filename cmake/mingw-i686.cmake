# Cross-build for 32-bit Windows with mingw-w64: the DLL the player loads.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# SSE2 arithmetic instead of the x87 unit, so this build computes the picture
# the way the 64-bit build does. The player calls in with a stack aligned to
# 4 bytes only, so each function realigns its own.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")

# Test programs run under 32-bit Wine through a wrapper that, where this
# machine cannot execute 32-bit code, exits 77 with the reason: ctest reports
# those tests as skipped (see WINDOWS_TEST_SKIP_CODE).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine32-run.sh)
