# The Windows download: `cpack --config build-windows/CPackConfig.cmake`
# makes wsphere-1.0.0-win64.zip with the programs, the manual and the
# examples, all in one folder to unzip anywhere.
install(TARGETS wsphere RUNTIME DESTINATION .)
if(TARGET wsphere-input)
  install(TARGETS wsphere-input RUNTIME DESTINATION .)
endif()
install(FILES README.md DESTINATION .)
install(DIRECTORY examples/ DESTINATION examples)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME wsphere)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_SYSTEM_NAME win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "atom displacements relative to their neighbours after a lattice-energy minimisation")
include(CPack)
