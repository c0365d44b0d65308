# Runs one fuzzer as a test: cmake -DFUZZER=<exe> -DSEEDS=<dir> -DWORK=<dir>
#   -DSECONDS=<n> -P RunFuzzer.cmake
# The seed inputs are copied into WORK/corpus first, so the fuzzer adds what it
# finds there and never to the source tree. An input that breaks a check, or
# makes a sanitizer report, is saved under WORK/artifacts/ and fails the test.
foreach(_var FUZZER SEEDS WORK SECONDS)
  if(NOT DEFINED ${_var})
    message(FATAL_ERROR "RunFuzzer.cmake: ${_var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}/corpus")
file(MAKE_DIRECTORY "${WORK}/corpus" "${WORK}/artifacts")
file(COPY "${SEEDS}/" DESTINATION "${WORK}/corpus")

execute_process(
  COMMAND "${FUZZER}"
          -max_total_time=${SECONDS}
          -timeout=10
          -print_final_stats=1
          "-artifact_prefix=${WORK}/artifacts/"
          "${WORK}/corpus"
  RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${_rc}); the input is kept in ${WORK}/artifacts/")
endif()
