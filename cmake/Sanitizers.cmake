# Sanitizer builds. ASan+UBSan covers the whole tree; TSan is meant for the
# threaded core (tasks, net, search) and their tests.
if(QUELLION_ASAN AND QUELLION_TSAN)
  message(FATAL_ERROR "QUELLION_ASAN and QUELLION_TSAN cannot be combined")
endif()

if(QUELLION_ASAN)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(QUELLION_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(QUELLION_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QUELLION_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++)")
  endif()
  # Libraries carry coverage instrumentation; only the fuzz targets link the fuzzer main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
