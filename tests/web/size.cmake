# The page's program, pendral.js (with its code inside), stays under 300 kB.
file(SIZE ${DIR}/pendral.js total)
message(STATUS "pendral.js: ${total} bytes")
if(total GREATER 300000)
  message(FATAL_ERROR "pendral.js is ${total} bytes, more than 300 kB")
endif()
