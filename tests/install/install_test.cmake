# One step of the installed-package tests, chosen by -DSTEP:
#   install       installs the build into PREFIX
#   find-package  configures, builds and runs the consumer with find_package
#   subdirectory  configures and builds the consumer with Pellicor's own tree
#                 as a subdirectory, and checks that none of our tests come along
#   pkg-config    builds and runs the same consumer with plain
#                 `c++ main.cpp $(pkg-config --cflags --libs ...)`
#   program       runs PREFIX/bin/pellicor with a recording mail client that a stand-in xdg-mime names
#   example       builds examples/host with find_package and runs it, reporting
#                 a problem through PREFIX/bin/pellicor
#   cleanup       removes what the steps left
# Also called with -DBUILD_DIR, -DSOURCE_DIR, -DPREFIX, -DWORK_DIR, -DGENERATOR,
# -DCXX, -DPKG_CONFIG, -DEXAMPLE_DIR, -DPELLICOR_SOURCE_DIR and -DSANITIZER_FLAGS (a list, empty in
# plain builds).

function(step)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE result
                    OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGN}\n${output}")
    endif()
endfunction()

function(expect_file path)
    if(NOT EXISTS ${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endfunction()

function(write_executable path text)
    file(WRITE ${path} "${text}")
    file(CHMOD ${path} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endfunction()

# A sanitized build installs instrumented libraries: the host needs the same
# compiler and runtime to link them.
set(toolchain -DCMAKE_CXX_COMPILER=${CXX})
if(SANITIZER_FLAGS)
    string(REPLACE ";" " " joined "${SANITIZER_FLAGS}")
    list(APPEND toolchain "-DCMAKE_CXX_FLAGS=${joined}" "-DCMAKE_EXE_LINKER_FLAGS=${joined}")
endif()

if(STEP STREQUAL "cleanup")
    get_filename_component(root ${WORK_DIR} DIRECTORY)
    file(REMOVE_RECURSE ${PREFIX} ${root})
    return()
endif()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

if(STEP STREQUAL "program" OR STEP STREQUAL "example")
    # Each stand-in notes that it ran; the mail client also keeps its arguments.
    # The desktop's mail client is Evolution, as xdg-mime names it.
    set(stand_ins ${WORK_DIR}/stand-ins)
    file(MAKE_DIRECTORY ${stand_ins})
    write_executable(${stand_ins}/xdg-mime "#!/bin/sh\necho pellicor-test.desktop\n")
    write_executable(${stand_ins}/evolution "#!/bin/sh\nprintf '%s\\n' \"$@\" > '${WORK_DIR}/client.args'\n")
    write_executable(${stand_ins}/xdg-open "#!/bin/sh\ntouch '${WORK_DIR}/xdg-open.ran'\n")
    file(WRITE ${WORK_DIR}/data/applications/pellicor-test.desktop
        "[Desktop Entry]\nType=Application\nName=Evolution\nExec=evolution %U\n")
    set(desktop "PATH=${stand_ins}:$ENV{PATH}" "XDG_CACHE_HOME=${WORK_DIR}/cache"
        "XDG_DATA_HOME=${WORK_DIR}/data" "XDG_DATA_DIRS=${WORK_DIR}/data")
endif()

if(STEP STREQUAL "install")
    file(REMOVE_RECURSE ${PREFIX})
    step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})
    expect_file(${PREFIX}/bin/pellicor)
    expect_file(${PREFIX}/lib/pellicor/libmapi32.so)
    expect_file(${PREFIX}/include/pellicor/report.h)
    file(GLOB man_page ${PREFIX}/share/man/man1/pellicor.1*)
    if(NOT man_page)
        message(FATAL_ERROR "not installed: ${PREFIX}/share/man/man1/pellicor.1")
    endif()

elseif(STEP STREQUAL "find-package")
    step(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/build -G ${GENERATOR}
         -DCMAKE_PREFIX_PATH=${PREFIX} -DCMAKE_BUILD_TYPE=Release ${toolchain})
    step(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
    step(${WORK_DIR}/build/consumer)

elseif(STEP STREQUAL "subdirectory")
    # A host that builds Pellicor inside its own tree gets the libraries, not our tests.
    # It builds them with its own flags: nothing of a sanitized build is linked here.
    step(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/build -G ${GENERATOR}
         -DPELLICOR_SOURCE_DIR=${PELLICOR_SOURCE_DIR} -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${CXX})
    file(READ ${WORK_DIR}/build/CMakeCache.txt cache)
    if(NOT cache MATCHES "PELLICOR_BUILD_TESTS:BOOL=OFF" OR NOT cache MATCHES "PELLICOR_BUILD_BENCHMARKS:BOOL=OFF")
        message(FATAL_ERROR "a host's build of Pellicor turns on our tests or benchmarks")
    endif()
    step(${CMAKE_COMMAND} --build ${WORK_DIR}/build --target consumer)
    step(${WORK_DIR}/build/consumer)

elseif(STEP STREQUAL "pkg-config")
    if(NOT PKG_CONFIG)
        message(FATAL_ERROR "pkg-config not found; scripts/install-deps.sh installs it")
    endif()
    # Only the test prefix: a Pellicor installed on the system must not stand in for it.
    set(ENV{PKG_CONFIG_PATH} "")
    file(GLOB pc_dirs ${PREFIX}/lib*/pkgconfig ${PREFIX}/lib/*/pkgconfig)
    string(REPLACE ";" ":" pc_path "${pc_dirs}")
    set(ENV{PKG_CONFIG_PATH} "${pc_path}")
    execute_process(COMMAND ${PKG_CONFIG} --cflags --libs pellicor-report pellicor-config pellicor-logging
                    RESULT_VARIABLE result OUTPUT_VARIABLE flags ERROR_VARIABLE flags
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "pkg-config failed: ${flags}")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    step(${CXX} -std=c++17 ${SANITIZER_FLAGS} ${SOURCE_DIR}/consumer/main.cpp ${flags} -o ${WORK_DIR}/consumer)
    step(${WORK_DIR}/consumer)

elseif(STEP STREQUAL "example")
    step(${CMAKE_COMMAND} -S ${EXAMPLE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
         -DCMAKE_PREFIX_PATH=${PREFIX} -DCMAKE_BUILD_TYPE=Release ${toolchain})
    step(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
    # Twice: the second run finds the setting the first one saved.
    step(${WORK_DIR}/build/host)
    step(${CMAKE_COMMAND} -E env ${desktop} ${WORK_DIR}/build/host --report ${PREFIX}/bin/pellicor)
    file(READ ${WORK_DIR}/host.log log)
    file(READ ${WORK_DIR}/host-settings.xml settings)
    file(READ ${WORK_DIR}/issue.xml issue)
    if(NOT log MATCHES " Host \\[HOST:INFO\\] run 2\n" OR NOT log MATCHES "\\[HOST:INFO\\] PIREPS active\n"
       OR NOT log MATCHES "\\[CFG :DEBG\\] Save config file: host-settings.xml\n"
       OR NOT log MATCHES "\\[HOST:INFO\\] Pellicor started on issue.xml\n"
       OR NOT settings MATCHES "<Runs>2</Runs>"
       OR NOT issue MATCHES "<Body>Steps: open &lt;Map&gt; &amp; zoom in.&#13;\n")
        message(FATAL_ERROR "the example host did not do its work; host.log:\n${log}\n${settings}\n${issue}")
    endif()

elseif(STEP STREQUAL "program")
    file(WRITE ${WORK_DIR}/report.zip "PK zipped")
    file(WRITE ${WORK_DIR}/issue.xml
        "<IssueReport><MailAddress>support@example.com</MailAddress><Subject>Blank map</Subject>"
        "<AttachZip>report.zip</AttachZip></IssueReport>")
    # Run from elsewhere than bin/: the provider is found from the program's own place.
    step(${CMAKE_COMMAND} -E env ${desktop} ${PREFIX}/bin/pellicor issue.xml)
    file(READ ${WORK_DIR}/Pellicor.log log)
    if(NOT log MATCHES "MAPI report sent" OR EXISTS ${WORK_DIR}/xdg-open.ran OR NOT EXISTS ${WORK_DIR}/client.args)
        message(FATAL_ERROR "lib/pellicor/libmapi32.so was not used; Pellicor.log:\n${log}")
    endif()
    file(STRINGS ${WORK_DIR}/client.args args)
    if(NOT args MATCHES "^mailto:support@example.com\\?subject=Blank%20map&attach=.*/log.zip$")
        message(FATAL_ERROR "the mail client was handed: ${args}")
    endif()

else()
    message(FATAL_ERROR "unknown STEP '${STEP}'")
endif()
