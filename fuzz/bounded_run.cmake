# One bounded libFuzzer run on a fresh copy of a corpus, so the repository's corpus is never
# written. Arguments: FUZZER, CORPUS, WORK, SECONDS, SEED, DICTIONARY.
foreach(argument FUZZER CORPUS WORK SECONDS SEED DICTIONARY)
  if(NOT DEFINED ${argument})
    message(FATAL_ERROR "bounded_run.cmake: -D${argument}=... is missing")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
file(GLOB entries ${CORPUS}/*)
file(COPY ${entries} DESTINATION ${WORK}/corpus)

execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -seed=${SEED} -rss_limit_mb=2048 -timeout=25
          -dict=${DICTIONARY} -print_final_stats=1 -artifact_prefix=${WORK}/artifacts/
          ${WORK}/corpus
  WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${FUZZER} stopped with ${status}; the input is in ${WORK}/artifacts")
endif()
