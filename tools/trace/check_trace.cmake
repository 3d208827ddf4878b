# Runs pendral-trace (through EMULATOR when set) with the space-separated ARGS.
# With GOLDEN: the exit status must be 0 and the output must equal GOLDEN byte
# for byte (written to OUTPUT for inspection); with SLOW_READER 3 it is read through
# a pipe whose reader starts 2 s late. With EXPECT_STATUS: the exit
# status must be that, stdout empty and stderr exactly one line.
separate_arguments(arg_list UNIX_COMMAND "${ARGS}")
set(command ${TOOL} ${arg_list})
if(EMULATOR)
  set(command ${EMULATOR} ${command})
endif()

if(DEFINED GOLDEN)
  if(SLOW_READER EQUAL 3)
    execute_process(COMMAND ${command} COMMAND sh -c "sleep 2; cat" OUTPUT_FILE ${OUTPUT} RESULTS_VARIABLE statuses)
    list(GET statuses 0 status)
  else()
    execute_process(COMMAND ${command} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
  endif()
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "pendral-trace ${ARGS}: exit status ${status}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${GOLDEN} RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "pendral-trace ${ARGS}: ${OUTPUT} differs from ${GOLDEN}")
  endif()
else()
  execute_process(COMMAND ${command} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  string(REGEX MATCHALL "\n" newlines "${err}")
  list(LENGTH newlines lines)
  if(NOT status EQUAL EXPECT_STATUS OR NOT out STREQUAL "" OR NOT lines EQUAL 1 OR NOT err MATCHES "\n$")
    message(FATAL_ERROR "pendral-trace ${ARGS}: status ${status}, stdout '${out}', stderr '${err}'")
  endif()
endif()
