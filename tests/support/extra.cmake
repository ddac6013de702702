# The Python test tools (pty pair, device simulator) run on the build host, not in Wine.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME support_tools COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/support/tools_test.py)
  set_tests_properties(support_tools PROPERTIES LABELS "support" TIMEOUT 120)
endif()
