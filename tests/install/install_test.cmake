# Installs the build into a fresh prefix, then configures, builds and runs a
# consumer against it. Called with -DBUILD_DIR, -DSOURCE_DIR, -DWORK_DIR, -DGENERATOR,
# -DCXX_COMPILER and -DSANITIZER_FLAGS (a list, empty in plain builds).
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(step)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE result
                    OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGN}\n${output}")
    endif()
endfunction()

step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
# A sanitized build installs instrumented libraries: the host needs the same
# compiler and runtime to link them.
set(toolchain -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
if(SANITIZER_FLAGS)
    string(REPLACE ";" " " flags "${SANITIZER_FLAGS}")
    list(APPEND toolchain "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
endif()
step(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/build -G ${GENERATOR}
     -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_BUILD_TYPE=Release ${toolchain})
step(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
step(${WORK_DIR}/build/consumer)
file(REMOVE_RECURSE ${WORK_DIR})
