# One Python 3 for the scripts, their tests and the Python package: the one
# scripts/python_with_numpy.sh finds (Debian's /usr/bin/python3 when the first
# python3 on PATH lacks numpy). Give -DPython3_EXECUTABLE=... to choose another.
if(NOT DEFINED Python3_EXECUTABLE)
  execute_process(COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/python_with_numpy.sh
                  OUTPUT_VARIABLE wsphere_python OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE wsphere_python_missing ERROR_QUIET)
  if(NOT wsphere_python_missing)
    set(Python3_EXECUTABLE ${wsphere_python} CACHE FILEPATH "Python 3 for the scripts, tests and package")
  endif()
endif()
