# Runs quellion as a process with no display at all: --help and --version answer on stdout
# and exit 0, an unknown option prints the usage on stderr and exits 2.
set(ENV_ARGS --unset=DISPLAY --unset=WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb)
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${ENV_ARGS} ${PROGRAM} --help
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^Usage: quellion" OR NOT out MATCHES "--demo"
   OR NOT err STREQUAL "")
  message(FATAL_ERROR "--help: status ${rc}, stdout '${out}', stderr '${err}'")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${ENV_ARGS} ${PROGRAM} --version
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "quellion ${VERSION}\n" OR NOT err STREQUAL "")
  message(FATAL_ERROR "--version: status ${rc}, stdout '${out}', stderr '${err}'")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${ENV_ARGS} ${PROGRAM} --frobnicate
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 2 OR NOT err MATCHES "^quellion: unknown option '--frobnicate'\n\nUsage: quellion"
   OR NOT out STREQUAL "")
  message(FATAL_ERROR "unknown option: status ${rc}, stdout '${out}', stderr '${err}'")
endif()
