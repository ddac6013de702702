# Included by tap_test(app). The test executable carries the program's own
# resources (templates and version block), and small DLLs carry the version
# resources that the version reader is tested against.
target_sources(test_app PRIVATE ${CMAKE_SOURCE_DIR}/res/taplinar.rc)

set(version_fixtures marks special masked languages none)
foreach(fixture IN LISTS version_fixtures)
  set(fixture_srcs ${CMAKE_SOURCE_DIR}/tests/app/res/VersionStub.c)
  if(EXISTS ${CMAKE_SOURCE_DIR}/tests/app/res/${fixture}.rc)
    list(APPEND fixture_srcs ${CMAKE_SOURCE_DIR}/tests/app/res/${fixture}.rc)
  endif()
  add_library(verinfo_${fixture} SHARED ${fixture_srcs})
  set_target_properties(verinfo_${fixture} PROPERTIES
    PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/app)
  add_dependencies(test_app verinfo_${fixture})
endforeach()
