# Windows builds: checks of the built plug-in library as a player's machine
# sees it, and, where 64-bit Windows programs run (wine64), a real run of the
# plug-in on a virtual X screen.
find_program(PYTHON3 python3 REQUIRED)
if(NOT CMAKE_OBJDUMP)
    find_program(CMAKE_OBJDUMP ${MINGW_PREFIX}-objdump REQUIRED)
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(PLUGIN_MACHINE i386)
else()
    set(PLUGIN_MACHINE x86-64)
endif()

# The resource compiler does not report the bitmap it embeds as a dependency.
set_property(SOURCE resources/plugin.rc APPEND PROPERTY OBJECT_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/resources/about.bmp)

# Machine, exports, imports, dialog 101 and bitmap 103 of the DLL.
add_test(NAME dll_check
    COMMAND ${PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/tests/dll/check_dll.py $<TARGET_FILE:vis_raysphere>
        --machine ${PLUGIN_MACHINE} --objdump ${CMAKE_OBJDUMP}
        --bitmap ${CMAKE_CURRENT_SOURCE_DIR}/resources/about.bmp --version ${PROJECT_VERSION})
# The check itself rejects altered copies of the DLL.
add_test(NAME dll_check_test
    COMMAND ${PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/tests/dll/check_dll_test.py $<TARGET_FILE:vis_raysphere>
        ${PLUGIN_MACHINE} ${CMAKE_OBJDUMP} ${CMAKE_CURRENT_SOURCE_DIR}/resources/about.bmp)

# A real run: about box, full-screen frames, ESC and Quit under Wine on Xvfb.
# Screenshots and the program's log end up in <build>/smoke.
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND CMAKE_CROSSCOMPILING_EMULATOR)
    add_executable(smoke tests/smoke/smoke_main.cpp)
    target_include_directories(smoke PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(smoke PRIVATE audio_block user32 gdi32)
    add_dependencies(smoke vis_raysphere)
    add_test(NAME smoke
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/smoke/run_smoke.sh $<TARGET_FILE:smoke>
            $<TARGET_FILE:vis_raysphere> ${CMAKE_BINARY_DIR}/smoke)
    set_tests_properties(smoke PROPERTIES LABELS smoke TIMEOUT 600 RUN_SERIAL TRUE)
endif()
