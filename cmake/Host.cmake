# Host build: the portable logic and its unit tests.
find_package(GTest REQUIRED)
include(GoogleTest)

if(KEYENTRY_SANITIZE)
  set(_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  foreach(lib ${KEYENTRY_PORTABLE_LIBRARIES})
    target_compile_options(${lib} PRIVATE ${_san})
    target_link_options(${lib} PUBLIC ${_san})
  endforeach()
endif()

# The portable part of the simulated reader is tested here too (SendStr.dll's
# events come from core/InputPlan.cpp, part of keyentry_core).
add_subdirectory(ostra-sim)

file(GLOB _unit_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${_unit_sources} ${CMAKE_SOURCE_DIR}/tests/support/Utf8Codec.cpp)
target_link_libraries(unit_tests PRIVATE keyentry_reader keyentry_layout ostra_sim_script GTest::gtest GTest::gtest_main GTest::gmock)
target_compile_options(unit_tests PRIVATE -Wall -Wextra ${_san})
# Files of the source tree the tests read (the example KeyEntry.ini).
target_compile_definitions(unit_tests PRIVATE KEYENTRY_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 30)

# Micro-benchmark of the keyboard hook's decision; run by hand, not a test
# (see docs/benchmarks.md). It compiles its own copy of the decision code (and
# of the settings it looks templates up in) with -O2 and without sanitizers,
# whatever the preset's build type.
find_package(benchmark REQUIRED)
add_executable(hook_bench
  ${CMAKE_SOURCE_DIR}/tests/bench/HookDecisionBench.cpp
  ${CMAKE_SOURCE_DIR}/core/KeyboardHook.cpp
  ${CMAKE_SOURCE_DIR}/core/KeyNames.cpp
  ${CMAKE_SOURCE_DIR}/core/SettingsFile.cpp
  ${CMAKE_SOURCE_DIR}/core/FormCodes.cpp
  ${CMAKE_SOURCE_DIR}/core/Template.cpp
  ${CMAKE_SOURCE_DIR}/core/PhotoFiles.cpp
  ${CMAKE_SOURCE_DIR}/core/TextTools.cpp
  ${CMAKE_SOURCE_DIR}/core/UnicodeText.cpp)
target_include_directories(hook_bench PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(hook_bench PRIVATE -O2 -Wall -Wextra)
target_compile_definitions(hook_bench PRIVATE NDEBUG)
target_link_libraries(hook_bench PRIVATE benchmark::benchmark)
