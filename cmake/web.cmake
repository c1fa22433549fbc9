# The web front end: the core compiled to WebAssembly twice, with tracer
# threads on Web Workers (for pages served cross-origin isolated) and on one
# thread (for any static host); the library over it as an npm package in
# build/web/package (`npm pack` there gives its tarball); and the page built
# on the library, all in build/web/site.
set(WEB_SITE_DIR ${CMAKE_CURRENT_BINARY_DIR}/site)
set(WEB_PACKAGE_DIR ${CMAKE_CURRENT_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${WEB_SITE_DIR} ${WEB_PACKAGE_DIR})

# The page's own sources, with the core's options: over the core compiled
# for shared memory (core_threads, web_core.cmake) where tracer threads run,
# over the core itself on one thread.
set(WEB_SOURCES web/core_api.cpp app/traced_size.cpp overlays/title_box.cpp overlays/title_font.cpp
                overlays/title_request.cpp)
set(WEB_CORE_OPTIONS $<TARGET_PROPERTY:core,COMPILE_OPTIONS>)
set(WEB_CORE_DEFINITIONS $<TARGET_PROPERTY:core,COMPILE_DEFINITIONS>)

set(WEB_EXPORTS
    "['_webStart','_webAdvance','_webScene','_webStepScene','_webSceneName','_webSceneNames','_webPcm','_webBlock','_webBlockFromPcm','_webSetTitle','_webRequestTitle','_webFrame','_webCentreRadius','_webLevelSize','_webNextLevel','_webDemoTune','_webFree','_malloc','_free']"
)
set(WEB_LINK_OPTIONS
    -sMODULARIZE=1
    -sEXPORT_NAME=createRaysphereCore
    -sENVIRONMENT=web,worker,node
    -sALLOW_MEMORY_GROWTH=1
    -sINITIAL_MEMORY=67108864
    -sMAXIMUM_MEMORY=1073741824
    -sEXPORTED_FUNCTIONS=${WEB_EXPORTS}
    "-sEXPORTED_RUNTIME_METHODS=['stringToUTF8','lengthBytesUTF8','UTF8ToString']"
    -sFILESYSTEM=0)

# Tracer threads: the pool's workers, one fewer than the threads asked for
# (the trace worker is the other), are made when the module loads.
add_executable(raysphere_core_mt ${WEB_SOURCES})
target_link_libraries(raysphere_core_mt PRIVATE core_threads)
target_link_options(raysphere_core_mt PRIVATE ${WEB_LINK_OPTIONS} -sPTHREAD_POOL_SIZE=Module.raysphereWorkers
                                                  -Wno-pthreads-mem-growth)

# One thread: loads where SharedArrayBuffer is not offered.
add_executable(raysphere_core_st ${WEB_SOURCES} $<TARGET_PROPERTY:audio_block,SOURCES>)
target_link_libraries(raysphere_core_st PRIVATE core)
target_link_options(raysphere_core_st PRIVATE ${WEB_LINK_OPTIONS})
foreach(program raysphere_core_mt raysphere_core_st)
    target_include_directories(${program} PRIVATE $<TARGET_PROPERTY:core,INCLUDE_DIRECTORIES>)
    target_compile_options(${program} PRIVATE ${WEB_CORE_OPTIONS})
    target_compile_definitions(${program} PRIVATE ${WEB_CORE_DEFINITIONS})
endforeach()
set_target_properties(raysphere_core_mt raysphere_core_st PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${WEB_PACKAGE_DIR}
                                                                   SUFFIX ".js")
set(WEB_CORE_FILES raysphere_core_mt.js raysphere_core_mt.wasm raysphere_core_mt.worker.js raysphere_core_st.js
                   raysphere_core_st.wasm)

if(PROJECT_VERSION)
    set(WEB_VERSION ${PROJECT_VERSION})
else()
    set(WEB_VERSION development)
endif()

# Copies each of `files` from `from` to `to`, adding the copies to `outputs`.
function(web_copy from to outputs)
    set(copies ${${outputs}})
    foreach(file ${ARGN})
        add_custom_command(OUTPUT ${to}/${file} COMMAND ${CMAKE_COMMAND} -E copy ${from}/${file} ${to}/${file}
                           DEPENDS ${from}/${file})
        list(APPEND copies ${to}/${file})
    endforeach()
    set(${outputs} ${copies} PARENT_SCOPE)
endfunction()

# The library: its modules, its types, its manifest and the core.
set(WEB_LIBRARY_FILES raysphere.js raysphere.d.ts audio.js trace_client.js trace_worker.js tap_worklet.js)
configure_file(web/package.json.in ${WEB_PACKAGE_DIR}/package.json @ONLY)
configure_file(web/package_readme.md ${WEB_PACKAGE_DIR}/README.md COPYONLY)
configure_file(LICENSE ${WEB_PACKAGE_DIR}/LICENSE COPYONLY)
set(WEB_PACKAGE_OUTPUTS)
web_copy(${CMAKE_CURRENT_SOURCE_DIR}/web ${WEB_PACKAGE_DIR} WEB_PACKAGE_OUTPUTS ${WEB_LIBRARY_FILES})
add_custom_target(web_package ALL DEPENDS ${WEB_PACKAGE_OUTPUTS})
add_dependencies(web_package raysphere_core_mt raysphere_core_st)

# The page: the library's files and its own; the version shows in its about line.
set(WEB_PAGE_FILES main.js page_state.js sources.js playlist.js tags.js style.css manifest.webmanifest)
set(WEB_PAGE_OUTPUTS ${WEB_SITE_DIR}/index.html)
configure_file(web/index.html.in ${WEB_SITE_DIR}/index.html @ONLY)
web_copy(${CMAKE_CURRENT_SOURCE_DIR}/web ${WEB_SITE_DIR} WEB_PAGE_OUTPUTS ${WEB_PAGE_FILES})
web_copy(${WEB_PACKAGE_DIR} ${WEB_SITE_DIR} WEB_PAGE_OUTPUTS ${WEB_LIBRARY_FILES})
# The core's files come out of its links, the .wasm and .worker.js beside the .js.
list(TRANSFORM WEB_CORE_FILES PREPEND ${WEB_SITE_DIR}/ OUTPUT_VARIABLE WEB_SITE_CORE_FILES)
add_custom_command(OUTPUT ${WEB_SITE_CORE_FILES} COMMAND ${CMAKE_COMMAND} -E copy ${WEB_CORE_FILES} ${WEB_SITE_DIR}
                   WORKING_DIRECTORY ${WEB_PACKAGE_DIR} DEPENDS raysphere_core_mt raysphere_core_st)
list(APPEND WEB_PAGE_OUTPUTS ${WEB_SITE_CORE_FILES})

# The icons, as the desktop's: the demo tune's first frame traced square.
find_program(NODE_EXECUTABLE node REQUIRED)
set(WEB_ICONS ${WEB_SITE_DIR}/icon-192.png ${WEB_SITE_DIR}/icon-512.png)
add_custom_command(OUTPUT ${WEB_ICONS}
                   COMMAND ${NODE_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/web/make_icons.js
                           ${WEB_SITE_DIR}/raysphere_core_st.js ${WEB_SITE_DIR} 192 512
                   DEPENDS ${WEB_SITE_DIR}/raysphere_core_st.js ${CMAKE_CURRENT_SOURCE_DIR}/web/make_icons.js
                   COMMENT "Web app icons of 192 and 512 pixels")

# The service worker last, from every other file of the site.
add_custom_command(OUTPUT ${WEB_SITE_DIR}/service_worker.js
                   COMMAND ${CMAKE_COMMAND} -DSITE=${WEB_SITE_DIR}
                           -DTEMPLATE=${CMAKE_CURRENT_SOURCE_DIR}/web/service_worker.js.in
                           -DOUTPUT=${WEB_SITE_DIR}/service_worker.js -P
                           ${CMAKE_CURRENT_SOURCE_DIR}/web/service_worker.cmake
                   DEPENDS ${WEB_PAGE_OUTPUTS} ${WEB_ICONS} ${CMAKE_CURRENT_SOURCE_DIR}/web/service_worker.js.in
                           ${CMAKE_CURRENT_SOURCE_DIR}/web/service_worker.cmake ${WEB_SITE_DIR}/index.html)
add_custom_target(web_page ALL DEPENDS ${WEB_PAGE_OUTPUTS} ${WEB_ICONS} ${WEB_SITE_DIR}/service_worker.js)
add_dependencies(web_page web_package)

# The page in Chromium against the native renderer's frames, which the
# native-release build makes (scripts/test.sh builds it first).
add_test(NAME web_page_test
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/web/run.sh ${WEB_SITE_DIR}
                 ${CMAKE_CURRENT_SOURCE_DIR}/build/native-release/render_frames ${CMAKE_CURRENT_BINARY_DIR}/web_page_test ${WEB_PACKAGE_DIR})
set_tests_properties(web_page_test PROPERTIES TIMEOUT 600)
