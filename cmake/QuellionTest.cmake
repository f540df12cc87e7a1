# quellion_add_test: one test program, built and registered with CTest.
#
#   quellion_add_test(<program>
#     SOURCES <file>...            the program's sources
#     [LIBS <target>...]           what it links besides GoogleTest
#     [DEFINITIONS <NAME=value>...] compile definitions
#     [INCLUDES <folder>...]       include folders besides the project's root
#     [QT]                         a Qt Widgets program: tests/support/QtTestMain.cpp is its
#                                  main and its tests run offscreen
#     [OWN_MAIN]                   the sources bring their own main
#     [ENVIRONMENT <NAME=value>...] the tests' environment
#     [LABELS <label>...] [TIMEOUT <seconds>]
#     [WHOLE <test name>])         one CTest test for the whole program instead of one per
#                                  GoogleTest case
#
# Every program includes from the project's root ("tests/support/TempDir.h"), and its
# GoogleTest cases are found by running it at build time (with a 60 s limit).
function(quellion_add_test program)
  cmake_parse_arguments(PARSE_ARGV 1 arg "QT;OWN_MAIN" "TIMEOUT;WHOLE"
    "SOURCES;LIBS;DEFINITIONS;INCLUDES;ENVIRONMENT;LABELS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "quellion_add_test(${program}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()

  set(sources ${arg_SOURCES})
  set(environment ${arg_ENVIRONMENT})
  if(arg_QT)
    list(APPEND sources ${PROJECT_SOURCE_DIR}/tests/support/QtTestMain.cpp)
    list(APPEND environment QT_QPA_PLATFORM=offscreen)
  endif()
  add_executable(${program} ${sources})
  target_include_directories(${program} PRIVATE ${PROJECT_SOURCE_DIR} ${arg_INCLUDES})
  if(arg_QT OR arg_OWN_MAIN)
    target_link_libraries(${program} PRIVATE ${arg_LIBS} GTest::gtest)
  else()
    target_link_libraries(${program} PRIVATE ${arg_LIBS} GTest::gtest_main)
  endif()
  if(arg_DEFINITIONS)
    target_compile_definitions(${program} PRIVATE ${arg_DEFINITIONS})
  endif()

  set(properties)
  if(environment)
    # One property value holding a list: its semicolons must survive the call.
    string(REPLACE ";" "\\;" environment "${environment}")
    list(APPEND properties ENVIRONMENT "${environment}")
  endif()
  if(arg_LABELS)
    string(REPLACE ";" "\\;" labels "${arg_LABELS}")
    list(APPEND properties LABELS "${labels}")
  endif()
  if(arg_TIMEOUT)
    list(APPEND properties TIMEOUT ${arg_TIMEOUT})
  endif()

  if(arg_WHOLE)
    add_test(NAME ${arg_WHOLE} COMMAND ${program})
    if(properties)
      set_tests_properties(${arg_WHOLE} PROPERTIES ${properties})
    endif()
  elseif(properties)
    gtest_discover_tests(${program} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  else()
    gtest_discover_tests(${program} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
