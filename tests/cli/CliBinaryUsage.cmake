# Runs quellion-cli as a process and checks exit statuses and the message prefix.
execute_process(COMMAND ${CLI} --help RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^Usage: quellion-cli")
  message(FATAL_ERROR "--help: status ${rc}, output '${out}'")
endif()
execute_process(COMMAND ${CLI} no-such-command RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_VARIABLE out)
if(NOT rc EQUAL 2 OR NOT err MATCHES "^quellion-cli: " OR NOT out STREQUAL "")
  message(FATAL_ERROR "unknown command: status ${rc}, stderr '${err}', stdout '${out}'")
endif()
