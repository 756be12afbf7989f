# The Python package wsphere: the extension module wsphere._core (pybind11)
# on the analysis library and the companion's readers, with the pure-Python
# modules of python/wsphere/ beside it in <build>/python/wsphere, so that
#   PYTHONPATH=build/python python3 -c 'import wsphere'
# works from the build tree. `cmake --install` puts the package into
# <prefix>/${WSPHERE_PYTHON_INSTALL_DIR}, the interpreter's site directory for
# that prefix.
#
# Needs Debian's pybind11-dev and an interpreter with numpy (by default the one
# scripts/python_with_numpy.sh finds), and gemmi for the readers. Left out of
# cross builds and of sanitizer builds (the interpreter is not instrumented).
option(WSPHERE_PYTHON "Build the Python package wsphere when pybind11 is found" ON)

set(WSPHERE_PYTHON_BUILT OFF)
if(NOT WSPHERE_PYTHON)
  return()
endif()
if(CMAKE_CROSSCOMPILING OR WIN32 OR WSPHERE_SANITIZE OR WSPHERE_FUZZ)
  message(STATUS "Python package: not built in cross, sanitizer or fuzz builds")
  return()
endif()
if(NOT TARGET wsphere_input_core)
  message(STATUS "Python package: needs wsphere-input's readers (gemmi); not built")
  return()
endif()

find_package(Python3 COMPONENTS Interpreter Development.Module)
find_package(pybind11 CONFIG QUIET)
if(NOT Python3_FOUND OR NOT pybind11_FOUND)
  message(STATUS "Python package: pybind11 or the Python headers not found (scripts/setup.sh); not built")
  return()
endif()
set(WSPHERE_PYTHON_BUILT ON)
message(STATUS "Python package: built for ${Python3_EXECUTABLE}")

# The extension links the static libraries into a shared object.
set_target_properties(wsphere_analysis wsphere_core wsphere_input_core PROPERTIES POSITION_INDEPENDENT_CODE ON)

set(WSPHERE_PYTHON_DIR ${CMAKE_CURRENT_BINARY_DIR}/python/wsphere)
# No link-time optimisation: the analysis keeps the rounding it has in the program.
pybind11_add_module(wsphere_python MODULE NO_EXTRAS python/bindings/module.cpp)
set_target_properties(wsphere_python PROPERTIES
  OUTPUT_NAME _core
  LIBRARY_OUTPUT_DIRECTORY ${WSPHERE_PYTHON_DIR})
target_link_libraries(wsphere_python PRIVATE wsphere_input_core wsphere_core)

# The pure-Python modules, copied next to the extension at every build.
file(GLOB WSPHERE_PYTHON_SOURCES CONFIGURE_DEPENDS python/wsphere/*.py)
set(wsphere_python_copies)
foreach(source ${WSPHERE_PYTHON_SOURCES})
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${WSPHERE_PYTHON_DIR}/${name}
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different ${source} ${WSPHERE_PYTHON_DIR}/${name}
                     DEPENDS ${source} VERBATIM)
  list(APPEND wsphere_python_copies ${WSPHERE_PYTHON_DIR}/${name})
endforeach()
add_custom_target(wsphere_python_sources ALL DEPENDS ${wsphere_python_copies})
add_dependencies(wsphere_python wsphere_python_sources)

# The site directory relative to the prefix: Debian's interpreters look in
# lib/python3.X/dist-packages below /usr/local and /usr.
execute_process(COMMAND ${Python3_EXECUTABLE} -c
  "import site; print('dist-packages' if any(p.endswith('dist-packages') for p in site.getsitepackages()) else 'site-packages')"
  OUTPUT_VARIABLE wsphere_site_name OUTPUT_STRIP_TRAILING_WHITESPACE)
set(WSPHERE_PYTHON_INSTALL_DIR
    "lib/python${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}/${wsphere_site_name}"
    CACHE STRING "Where the Python package goes, relative to the install prefix")
install(TARGETS wsphere_python LIBRARY DESTINATION ${WSPHERE_PYTHON_INSTALL_DIR}/wsphere)
install(FILES ${WSPHERE_PYTHON_SOURCES} DESTINATION ${WSPHERE_PYTHON_INSTALL_DIR}/wsphere)

# wsphere-batch, the package's command for many runs (wsphere.batch), started
# by the interpreter the package is built for: the first python3 on PATH need
# not have numpy and Dask.
include(GNUInstallDirs)
set(WSPHERE_BATCH_PYTHON ${Python3_EXECUTABLE})
configure_file(tools/wsphere-batch.in ${CMAKE_CURRENT_BINARY_DIR}/wsphere-batch @ONLY)
install(PROGRAMS ${CMAKE_CURRENT_BINARY_DIR}/wsphere-batch DESTINATION ${CMAKE_INSTALL_BINDIR})

if(WSPHERE_TESTS)
  # The package's tests, on the build tree's package; wsphere-input and
  # wsphere built here take part in the comparisons with the program.
  add_test(NAME python_package
           COMMAND ${Python3_EXECUTABLE} -m pytest -p no:cacheprovider ${CMAKE_CURRENT_SOURCE_DIR}/tests/python
           WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  set_tests_properties(python_package PROPERTIES
    ENVIRONMENT "PYTHONPATH=${CMAKE_CURRENT_BINARY_DIR}/python;MPLBACKEND=Agg;WSPHERE_BINARY=$<TARGET_FILE:wsphere>;WSPHERE_INPUT_BINARY=$<TARGET_FILE:wsphere-input>"
    TIMEOUT 600)
endif()
