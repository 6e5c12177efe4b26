# The one version of the project (project(... VERSION ...)) and, in a git checkout, the commit
# it was built from, compiled into vantrel_version. The commit is looked up at every build, not
# only at configure time, and the source is rewritten only when it changed, so a new commit
# recompiles one file. A tree without .git (a source archive) or without git gives the bare
# version.
set(VANTREL_VERSION_SOURCE ${PROJECT_BINARY_DIR}/generated/version.cpp)
set(version_command ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUTPUT=${VANTREL_VERSION_SOURCE}
  -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/write_version.cmake)
execute_process(COMMAND ${version_command})
add_custom_target(vantrel_version_source COMMAND ${version_command} BYPRODUCTS ${VANTREL_VERSION_SOURCE} VERBATIM)
add_library(vantrel_version STATIC ${VANTREL_VERSION_SOURCE})
add_dependencies(vantrel_version vantrel_version_source)
target_include_directories(vantrel_version PUBLIC ${PROJECT_SOURCE_DIR})
