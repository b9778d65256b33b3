# Runs one fuzz target for SECONDS from a fresh copy of its seed corpus, in a
# working folder of its own (the readers write files beside what they read).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus)
if(EXISTS ${SEEDS})
  file(GLOB seeds ${SEEDS}/*)
  if(seeds)
    file(COPY ${seeds} DESTINATION ${WORK}/corpus)
  endif()
endif()
# Real files, when present, are seeds too (whole, when MAX_LEN holds them).
foreach(seed IN LISTS MOCAP_SEEDS)
  if(EXISTS "${seed}")
    file(COPY "${seed}" DESTINATION ${WORK}/corpus)
  endif()
endforeach()
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -rss_limit_mb=2048 -max_len=${MAX_LEN}
          -print_final_stats=1 ${WORK}/corpus
  WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzz target ${FUZZER} failed (exit ${rc}); crash inputs are in ${WORK}")
endif()
