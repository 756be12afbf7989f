# What `cmake --install` puts in place, and the Debian package built from it
# with `cpack --config build/CPackConfig.cmake`.
include(GNUInstallDirs)

install(TARGETS wsphere RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS tools/wsphere-summary DESTINATION ${CMAKE_INSTALL_BINDIR})
# The companion that writes input.txt, where gemmi was found to build it.

# Man pages are shipped compressed, the way man and Debian expect them; -n keeps
# the name and time stamp out of the archive so that rebuilds are identical.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(WSPHERE_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/wsphere.1.gz)
add_custom_command(
  OUTPUT ${WSPHERE_MAN_PAGE}
  COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_CURRENT_SOURCE_DIR}/man/wsphere.1 > ${WSPHERE_MAN_PAGE}
  DEPENDS man/wsphere.1
  VERBATIM)
add_custom_target(wsphere_man ALL DEPENDS ${WSPHERE_MAN_PAGE})
install(FILES ${WSPHERE_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The companion that writes input.txt, with its page, where gemmi was found to build it.
if(TARGET wsphere-input)
  install(TARGETS wsphere-input RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(WSPHERE_INPUT_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/wsphere-input.1.gz)
  add_custom_command(
    OUTPUT ${WSPHERE_INPUT_MAN_PAGE}
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_CURRENT_SOURCE_DIR}/man/wsphere-input.1 > ${WSPHERE_INPUT_MAN_PAGE}
    DEPENDS man/wsphere-input.1
    VERBATIM)
  add_custom_target(wsphere_input_man ALL DEPENDS ${WSPHERE_INPUT_MAN_PAGE})
  install(FILES ${WSPHERE_INPUT_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The manual and the examples with their reports, for trying the program out.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wsphere)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_CONTACT "wsphere maintainers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "atom displacements relative to their neighbours after a lattice-energy minimisation")
set(CPACK_PACKAGE_DESCRIPTION
    "wsphere compares a crystal structure before and after a lattice-energy minimisation: for
every atom of the cell it finds the neighbours within a sphere, measures how the neighbour
distances changed and reports W, the mean squared change, with a compliance percentage,
the atoms ordered by W and per-kind statistics.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
# wsphere-summary is a Python 3 script; the program itself does without it.
# The Python package needs numpy, and wsphere-batch Dask with dask.distributed.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3, python3-numpy, python3-dask, python3-distributed")
include(CPack)
