# cmake -DFILE=... -DMAX=... -P CheckSize.cmake
file(SIZE "${FILE}" size)
if(size GREATER MAX)
  message(FATAL_ERROR "${FILE} is ${size} bytes, over its budget of ${MAX} bytes")
endif()
message(STATUS "${FILE}: ${size} bytes (budget ${MAX})")
