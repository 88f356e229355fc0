# The source revision is looked up at every build (not only at configure
# time), so --version never names a stale commit. The header is rewritten only
# when the revision changes, so an unchanged checkout rebuilds nothing.
set(ZARN_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
add_custom_target(zarn_revision
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
          -DOUTPUT=${ZARN_GENERATED_DIR}/zeBuildRevision.h
          -P ${CMAKE_SOURCE_DIR}/cmake/ZarnRevision.cmake
  BYPRODUCTS ${ZARN_GENERATED_DIR}/zeBuildRevision.h
  COMMENT "Checking the source revision"
  VERBATIM)
