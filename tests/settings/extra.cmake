# Included by tap_test(settings): the dialogs are created from the program's
# own templates, so the test executable carries its resources.
target_sources(test_settings PRIVATE ${CMAKE_SOURCE_DIR}/res/taplinar.rc)
