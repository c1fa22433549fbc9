# The core compiled to WebAssembly held to the native one: the same program
# of frames built both ways (with sinf/cosf wrapped, to swap the two C
# libraries' results), x^32 against the WebAssembly library's powf, and the
# benchmark run both ways by tools/bench_wasm.sh. Included by the top level
# in the WebAssembly build and by cmake/native.cmake natively.
set(CORE_FRAMES_SOURCES tests/wasm/core_frames.cpp tests/wasm/math_calls.cpp)
set(MATH_WRAP_OPTIONS -Wl,--wrap=sinf -Wl,--wrap=cosf -Wl,--wrap=sincosf)

if(NOT EMSCRIPTEN)
    add_executable(core_frames ${CORE_FRAMES_SOURCES})
    target_link_libraries(core_frames PRIVATE core audio_block)
    target_link_options(core_frames PRIVATE ${MATH_WRAP_OPTIONS})
    add_executable(bench_core tools/bench_core.cpp)
    target_link_libraries(bench_core PRIVATE core audio_block)
    return()
endif()

# Programs run by node on the real file system, memory reserved up front
set(NODE_PROGRAM_OPTIONS -sENVIRONMENT=node,worker -sNODERAWFS=1 -sEXIT_RUNTIME=1 -sINITIAL_MEMORY=256MB)
find_program(NODE_EXECUTABLE node REQUIRED)
set(NODE_RUN ${NODE_EXECUTABLE} --no-experimental-fetch)

# The core, its files and its sound blocks compiled again with threads,
# which every object of a program with shared memory needs: for the programs
# whose tracer pool runs on Web Workers (this file's frames, the page's core)
get_target_property(CORE_SOURCES core SOURCES)
get_target_property(OS_FILES_SOURCES os_files SOURCES)
list(APPEND CORE_SOURCES ${OS_FILES_SOURCES})
get_target_property(AUDIO_BLOCK_SOURCES audio_block SOURCES)
add_library(core_threads STATIC ${CORE_SOURCES} ${AUDIO_BLOCK_SOURCES})
target_include_directories(core_threads PUBLIC ${CMAKE_SOURCE_DIR} PRIVATE $<TARGET_PROPERTY:core,INCLUDE_DIRECTORIES>)
target_compile_definitions(core_threads PRIVATE $<TARGET_PROPERTY:core,COMPILE_DEFINITIONS>)
target_compile_options(core_threads PUBLIC $<TARGET_PROPERTY:core,INTERFACE_COMPILE_OPTIONS> -pthread)
target_link_options(core_threads INTERFACE -pthread)

# The frames on one thread and on the tracer pool's Web Workers
add_executable(core_frames ${CORE_FRAMES_SOURCES})
target_link_libraries(core_frames PRIVATE core_threads)
target_link_options(core_frames PRIVATE -sPTHREAD_POOL_SIZE=2 ${NODE_PROGRAM_OPTIONS} ${MATH_WRAP_OPTIONS})

# The same with neither SIMD nor SSE2: the reference tracer and the
# byte-at-a-time upsampling, which must give the same bytes
add_executable(core_frames_scalar ${CORE_FRAMES_SOURCES} ${CORE_SOURCES} audio/demo_tune.cpp)
target_include_directories(core_frames_scalar PRIVATE ${CMAKE_SOURCE_DIR} $<TARGET_PROPERTY:core,INCLUDE_DIRECTORIES>)
target_compile_definitions(core_frames_scalar PRIVATE $<TARGET_PROPERTY:core,COMPILE_DEFINITIONS>)
target_link_options(core_frames_scalar PRIVATE ${NODE_PROGRAM_OPTIONS} ${MATH_WRAP_OPTIONS})

add_executable(pow32_wasm_test tests/wasm/pow32_wasm_test.cpp)
target_link_libraries(pow32_wasm_test PRIVATE core)
target_link_options(pow32_wasm_test PRIVATE ${NODE_PROGRAM_OPTIONS})

add_executable(bench_core tools/bench_core.cpp)
target_link_libraries(bench_core PRIVATE core audio_block)
target_link_options(bench_core PRIVATE ${NODE_PROGRAM_OPTIONS})

add_test(NAME pow32_wasm_test COMMAND ${NODE_RUN} $<TARGET_FILE:pow32_wasm_test>)
# Against the native program of the optimised native build
set(NATIVE_CORE_FRAMES ${CMAKE_SOURCE_DIR}/build/native-release/core_frames)
add_test(NAME core_frames_test
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wasm/core_frames_test.sh "${NODE_EXECUTABLE} --no-experimental-fetch"
                 $<TARGET_FILE:core_frames> ${NATIVE_CORE_FRAMES} ${CMAKE_CURRENT_BINARY_DIR}/core_frames_test
                 $<TARGET_FILE:core_frames_scalar>)
