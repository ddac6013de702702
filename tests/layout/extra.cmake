# Included by tap_test(layout): the main window's layout is tested on the
# program's own dialog template, so the test executable carries its resources.
target_sources(test_layout PRIVATE ${CMAKE_SOURCE_DIR}/res/taplinar.rc)
