# A small program that shows the program's dialogs with the skin, for screenshots
# (tools/screenshots.sh). Not a test: it runs until it is ended.
add_executable(skin_demo WIN32 ${CMAKE_SOURCE_DIR}/tests/skin/demo/SkinDemo.cpp
               ${CMAKE_SOURCE_DIR}/res/taplinar.rc)
target_link_libraries(skin_demo PRIVATE skin)
set_target_properties(skin_demo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/skin)
