# Fuzzing build (clang, libFuzzer, AddressSanitizer + UBSan): the line
# splitter, the key settings file reader and the card text reader. Each
# fuzzer is one CTest test that runs for a bounded time and fails on any
# finding (broken check, memory error, undefined behaviour, leak, hang).
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "KEYENTRY_FUZZ needs clang++ (libFuzzer); use the 'fuzz' preset")
endif()

set(KEYENTRY_FUZZ_SECONDS 30 CACHE STRING "How long each fuzzer runs as a test, in seconds")

set(_fuzz_common -fno-omit-frame-pointer -fno-sanitize-recover=all -D_GLIBCXX_ASSERTIONS)
foreach(lib ${KEYENTRY_PORTABLE_LIBRARIES})
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined ${_fuzz_common})
endforeach()

set(_fuzz_dir ${CMAKE_SOURCE_DIR}/tests/fuzz)

add_library(fuzz_support STATIC ${_fuzz_dir}/FuzzSupport.cpp
            ${CMAKE_SOURCE_DIR}/tests/support/Utf8Codec.cpp)
target_link_libraries(fuzz_support PUBLIC keyentry_reader keyentry_layout)
target_compile_options(fuzz_support PRIVATE
  -Wall -Wextra -fsanitize=fuzzer-no-link,address,undefined ${_fuzz_common})

function(keyentry_add_fuzzer name source)
  add_executable(${name} ${_fuzz_dir}/${source})
  target_link_libraries(${name} PRIVATE fuzz_support)
  target_compile_options(${name} PRIVATE
    -Wall -Wextra -fsanitize=fuzzer,address,undefined ${_fuzz_common})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND}
      -DFUZZER=$<TARGET_FILE:${name}>
      -DSEEDS=${_fuzz_dir}/corpus/${name}
      -DWORK=${CMAKE_CURRENT_BINARY_DIR}/fuzz-runs/${name}
      -DSECONDS=${KEYENTRY_FUZZ_SECONDS}
      -P ${_fuzz_dir}/RunFuzzer.cmake)
  math(EXPR _timeout "${KEYENTRY_FUZZ_SECONDS} + 120")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${_timeout} LABELS fuzz)
endfunction()

keyentry_add_fuzzer(fuzz_lines LinesFuzzer.cpp)
keyentry_add_fuzzer(fuzz_key_settings KeySettingsFuzzer.cpp)
keyentry_add_fuzzer(fuzz_card_text CardTextFuzzer.cpp)
keyentry_add_fuzzer(fuzz_bitmap_file BitmapFileFuzzer.cpp)
keyentry_add_fuzzer(fuzz_settings_file SettingsFileFuzzer.cpp)
