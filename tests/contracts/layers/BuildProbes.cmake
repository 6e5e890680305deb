# Builds the layering probes: the data model including the Subversion backend's header must not
# compile (the header is not on its include path), the session including it must.
#   cmake -DBUILD_DIR=<build> -P BuildProbes.cmake
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target standin_layer_probe_denied
                RESULT_VARIABLE denied OUTPUT_VARIABLE denied_output ERROR_VARIABLE denied_output)
if(denied EQUAL 0)
    message(FATAL_ERROR "datamodel compiled an include of subversion/ChangeListFile.h")
endif()
if(NOT denied_output MATCHES "ChangeListFile\\.h: No such file")
    message(FATAL_ERROR "the denied probe failed for another reason:\n${denied_output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target standin_layer_probe_allowed
                RESULT_VARIABLE allowed OUTPUT_VARIABLE allowed_output ERROR_VARIABLE allowed_output)
if(NOT allowed EQUAL 0)
    message(FATAL_ERROR "session could not include subversion's ChangeListFile.h:\n${allowed_output}")
endif()
message(STATUS "datamodel cannot include subversion; session can")
