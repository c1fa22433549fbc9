# Windows: the plug-in DLL the player loads, the library of its objects and the
# Windows test programs, run under wine64 in the 64-bit build.
enable_language(RC)

# The plug-in's objects, linked into the DLL and into every Windows test.
add_library(plugin STATIC
    display/platform.cpp
    display/display_state.cpp
    display/display.cpp
    display/presentation.cpp
    display/fallback.cpp
    overlays/title.cpp
    overlays/title_request.cpp
    about/about.cpp
    host/lifecycle.cpp
    host/window_proc.cpp
    host/plugin.cpp)
target_include_directories(plugin PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(plugin PUBLIC core ddraw gdi32 user32)

# The DLL: one undecorated export, winampVisGetHeader (see the .def file), and
# the about box's dialog and bitmap. The whole library goes in, since nothing
# but the export table refers to its entry point.
add_library(vis_raysphere SHARED host/vis_raysphere.def resources/plugin.rc)
target_include_directories(vis_raysphere PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/resources)
target_link_libraries(vis_raysphere PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,plugin>" core ddraw gdi32 user32)
set_target_properties(vis_raysphere PROPERTIES PREFIX "" OUTPUT_NAME vis_raysphere)
target_link_options(vis_raysphere PRIVATE -s) # no symbols or debug sections in the shipped DLL
# Release builds give the same bytes each time: no link time in the PE header.
target_link_options(vis_raysphere PRIVATE -Wl,--no-insert-timestamp)
include(cmake/version_resource.cmake)
add_version_resource(vis_raysphere "raysphere: ray-traced spheres, a visualisation plug-in for Winamp")

# GoogleTest from the Debian sources, built for this target.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -Wno-error)
target_compile_options(gtest_main PRIVATE -Wno-error)

# Fakes of the platform and of the DirectDraw objects, shared by the tests.
add_library(windows_fakes STATIC
    tests/windows/fake_platform.cpp
    tests/windows/fake_directdraw.cpp)
target_link_libraries(windows_fakes PUBLIC plugin gtest)

# The exit code of a 32-bit test that could not run because this machine
# executes no 32-bit code (scripts/wine32-run.sh): ctest reports it as skipped.
set(WINDOWS_TEST_SKIP_CODE 77)

# GoogleTest's header, compiled once for every test program.
add_library(windows_test_header OBJECT tests/test_header.cpp)
target_link_libraries(windows_test_header PRIVATE windows_fakes plugin gtest)
target_precompile_headers(windows_test_header PRIVATE <gtest/gtest.h>)

# Declares one Windows test program made of the given sources. It is run by
# ctest only where an emulator (Wine) or the host itself can run it.
function(add_windows_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE windows_fakes plugin gtest gtest_main)
    target_precompile_headers(${name} REUSE_FROM windows_test_header)
    if(CMAKE_CROSSCOMPILING_EMULATOR OR NOT CMAKE_CROSSCOMPILING)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE ${WINDOWS_TEST_SKIP_CODE})
    endif()
endfunction()

add_windows_test(display_setup_test tests/windows/display_setup_test.cpp)
add_windows_test(display_frame_test tests/windows/display_frame_test.cpp)
add_windows_test(display_fallback_test tests/windows/display_fallback_test.cpp)
add_windows_test(window_proc_test tests/windows/window_proc_test.cpp)
add_windows_test(title_test tests/windows/title_test.cpp)
add_windows_test(about_test tests/windows/about_test.cpp)
add_windows_test(lifecycle_test tests/windows/lifecycle_test.cpp)
# The packet tracer's x^32 against this C library's own powf.
add_windows_test(pow32_test tests/native/pow32_test.cpp)

# ---------------------------------------------------------------------------
# DLL checks and the smoke test of the loaded plug-in are added below, or in
# cmake/plugin_checks.cmake.
# ---------------------------------------------------------------------------
include(cmake/plugin_checks.cmake OPTIONAL)
