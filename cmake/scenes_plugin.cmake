# Windows: the scenes plug-in, a second DLL beside vis_raysphere with one
# module per built-in scene, "classic" first, all on the plug-in's own
# display, title and about box; its checks and tests.

# SCENE_MODULES(X): X(name) for every built-in scene, in order.
set(SCENE_MODULE_ROWS "")
foreach(scene IN LISTS BUILTIN_SCENES)
    string(APPEND SCENE_MODULE_ROWS " X(${scene})")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/scene_modules.h
     CONTENT "// Made at configure time by cmake/scenes_plugin.cmake from the built-in scenes.\n#pragma once\n#define SCENE_MODULES(X)${SCENE_MODULE_ROWS}\n")

# The entry point and its modules, linked into the DLL and its test.
add_library(scenes_plugin STATIC scenes_plugin/scenes_plugin.cpp)
target_include_directories(scenes_plugin PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(scenes_plugin PUBLIC plugin)

# The DLL: the same single export and resources as vis_raysphere; the entry
# point's object pulls in the plug-in's objects, whose own entry point stays out.
add_library(vis_raysphere_scenes SHARED scenes_plugin/scenes_plugin.cpp scenes_plugin/vis_raysphere_scenes.def
                                        resources/plugin.rc)
target_include_directories(vis_raysphere_scenes PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/resources
                                                        ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(vis_raysphere_scenes PRIVATE plugin core ddraw gdi32 user32)
set_target_properties(vis_raysphere_scenes PROPERTIES PREFIX "" OUTPUT_NAME vis_raysphere_scenes)
target_link_options(vis_raysphere_scenes PRIVATE -s -Wl,--no-insert-timestamp)
add_version_resource(vis_raysphere_scenes "raysphere scenes: every built-in scene, a visualisation plug-in for Winamp")

# Machine, the one export, imports and the about box's resources.
add_test(NAME scenes_dll_check
    COMMAND ${PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/tests/dll/check_dll.py $<TARGET_FILE:vis_raysphere_scenes>
        --machine ${PLUGIN_MACHINE} --objdump ${CMAKE_OBJDUMP}
        --bitmap ${CMAKE_CURRENT_SOURCE_DIR}/resources/about.bmp --version ${PROJECT_VERSION})

# The DLL loaded through its header, and every module driven on the fakes.
add_windows_test(scenes_plugin_test tests/windows/scenes_plugin_test.cpp)
target_link_libraries(scenes_plugin_test PRIVATE scenes_plugin)
add_dependencies(scenes_plugin_test vis_raysphere_scenes)

# Every module of the real DLL run by the host under Wine shows its scene:
# the native renderer's frame of that scene for the same blocks.
if(COMMAND add_e2e_test)
    add_e2e_test(e2e_scene_modules vis_raysphere_scenes)
endif()
