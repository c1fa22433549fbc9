# The web front end: the core compiled to WebAssembly twice, with tracer
# threads on Web Workers (for pages served cross-origin isolated) and on one
# thread (for any static host), and the page's files, all in build/web/site.
set(WEB_SITE_DIR ${CMAKE_CURRENT_BINARY_DIR}/site)
file(MAKE_DIRECTORY ${WEB_SITE_DIR})

# The threaded build needs every object compiled for shared memory, so both
# builds compile the core's sources themselves, with the core's options (read
# when the build is generated, so that what the core gains later counts too).
set(WEB_SOURCES web/core_api.cpp overlays/title_box.cpp overlays/title_font.cpp overlays/title_request.cpp $<TARGET_PROPERTY:core,SOURCES>
                $<TARGET_PROPERTY:audio_block,SOURCES>)
set(WEB_CORE_OPTIONS $<TARGET_PROPERTY:core,COMPILE_OPTIONS>)
set(WEB_CORE_DEFINITIONS $<TARGET_PROPERTY:core,COMPILE_DEFINITIONS>)

set(WEB_EXPORTS
    "['_webStart','_webPcm','_webBlock','_webBlockFromPcm','_webSetTitle','_webRequestTitle','_webFrame','_webCentreRadius','_webDemoTune','_webFree','_malloc','_free']"
)
set(WEB_LINK_OPTIONS
    -sMODULARIZE=1
    -sEXPORT_NAME=createRaysphereCore
    -sENVIRONMENT=web,worker,node
    -sALLOW_MEMORY_GROWTH=1
    -sINITIAL_MEMORY=67108864
    -sMAXIMUM_MEMORY=1073741824
    -sEXPORTED_FUNCTIONS=${WEB_EXPORTS}
    "-sEXPORTED_RUNTIME_METHODS=['stringToUTF8','lengthBytesUTF8']"
    -sFILESYSTEM=0)

# Tracer threads: the pool's workers are made when the module loads.
set(WEB_MAX_THREADS 8)
add_executable(raysphere_core_mt ${WEB_SOURCES})
target_include_directories(raysphere_core_mt PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} $<TARGET_PROPERTY:core,INCLUDE_DIRECTORIES>)
target_compile_options(raysphere_core_mt PRIVATE ${WEB_CORE_OPTIONS} -pthread)
target_compile_definitions(raysphere_core_mt PRIVATE ${WEB_CORE_DEFINITIONS})
target_link_options(raysphere_core_mt PRIVATE ${WEB_LINK_OPTIONS} -pthread -sPTHREAD_POOL_SIZE=${WEB_MAX_THREADS}
                                                  -Wno-pthreads-mem-growth)

# One thread: loads where SharedArrayBuffer is not offered.
add_executable(raysphere_core_st ${WEB_SOURCES})
target_include_directories(raysphere_core_st PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} $<TARGET_PROPERTY:core,INCLUDE_DIRECTORIES>)
target_compile_options(raysphere_core_st PRIVATE ${WEB_CORE_OPTIONS})
target_compile_definitions(raysphere_core_st PRIVATE ${WEB_CORE_DEFINITIONS})
target_link_options(raysphere_core_st PRIVATE ${WEB_LINK_OPTIONS})
set_target_properties(raysphere_core_mt raysphere_core_st PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${WEB_SITE_DIR} SUFFIX
                                                                                                        ".js")

# The page's own files; the version shows in its about line.
if(PROJECT_VERSION)
    set(WEB_VERSION ${PROJECT_VERSION})
else()
    set(WEB_VERSION development)
endif()
set(WEB_PAGE_FILES main.js page_state.js screen.js sources.js audio.js playlist.js tags.js trace_client.js
                   trace_worker.js tap_worklet.js style.css)
set(WEB_PAGE_OUTPUTS ${WEB_SITE_DIR}/index.html)
configure_file(web/index.html.in ${WEB_SITE_DIR}/index.html @ONLY)
foreach(file ${WEB_PAGE_FILES})
    add_custom_command(OUTPUT ${WEB_SITE_DIR}/${file}
                       COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/web/${file} ${WEB_SITE_DIR}/${file}
                       DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/web/${file})
    list(APPEND WEB_PAGE_OUTPUTS ${WEB_SITE_DIR}/${file})
endforeach()
add_custom_target(web_page ALL DEPENDS ${WEB_PAGE_OUTPUTS})
add_dependencies(web_page raysphere_core_mt raysphere_core_st)

# The page in Chromium against the native renderer's frames, which the
# native-release build makes (scripts/test.sh builds it first).
add_test(NAME web_page_test
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/web/run.sh ${WEB_SITE_DIR}
                 ${CMAKE_CURRENT_SOURCE_DIR}/build/native-release/render_frames ${CMAKE_CURRENT_BINARY_DIR}/web_page_test)
set_tests_properties(web_page_test PROPERTIES TIMEOUT 600)
