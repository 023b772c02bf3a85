# `cmake --build --preset dev --target docs`: the host's reference, generated
# from the public headers into build/<preset>/docs/html. scripts/test.sh
# builds it, so an undocumented public member fails CI.
find_package(Doxygen)
if(NOT DOXYGEN_FOUND)
    message(STATUS "doxygen not found: no docs target (scripts/install-deps.sh installs it)")
    return()
endif()
set(PELLICOR_DOCS_DIR ${PROJECT_BINARY_DIR}/docs)
set(PELLICOR_DOCS_INPUT
    "${PROJECT_SOURCE_DIR}/logging/include/pellicor/logging.h \
${PROJECT_SOURCE_DIR}/config/include/pellicor/config.h \
${PROJECT_SOURCE_DIR}/config/include/pellicor/config_store.h \
${PROJECT_SOURCE_DIR}/config/include/pellicor/product_config.h \
${PROJECT_SOURCE_DIR}/report/include/pellicor/report.h \
${PROJECT_SOURCE_DIR}/examples/host/README.md")
set(PELLICOR_DOCS_INCLUDE_ROOTS
    "${PROJECT_SOURCE_DIR}/logging/include ${PROJECT_SOURCE_DIR}/config/include ${PROJECT_SOURCE_DIR}/report/include")
configure_file(doc/Doxyfile.in ${PELLICOR_DOCS_DIR}/Doxyfile @ONLY)
add_custom_target(docs
    COMMAND Doxygen::doxygen ${PELLICOR_DOCS_DIR}/Doxyfile
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Generating the host reference in ${PELLICOR_DOCS_DIR}/html"
    VERBATIM)
