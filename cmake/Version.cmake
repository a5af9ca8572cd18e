# The project's version for the programs: the generated header OlmVersion.h, reached by linking olm_version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/OlmVersion.h.in ${CMAKE_BINARY_DIR}/generated/OlmVersion.h @ONLY)
add_library(olm_version INTERFACE)
target_include_directories(olm_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
