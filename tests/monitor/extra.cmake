# The relaying pair on two real Wine COM ports, for the end-to-end run below
# and for the relay benchmark.
add_executable(relay_host ${CMAKE_SOURCE_DIR}/tests/monitor/host/RelayHost.cpp)
target_link_libraries(relay_host PRIVATE monitor)
set_target_properties(relay_host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/monitor)

# Maps two COM ports to pty pairs in the build tree's prefix (restarting its
# wineserver), so it runs alone.
find_program(TAP_PYTHON3 python3)
add_test(NAME monitor_e2e
         COMMAND ${TAP_PYTHON3} ${CMAKE_SOURCE_DIR}/tests/monitor/relay_e2e.py
                 ${CMAKE_BINARY_DIR} $<TARGET_FILE:relay_host>)
set_tests_properties(monitor_e2e PROPERTIES LABELS "monitor;e2e" TIMEOUT 1500 RUN_SERIAL TRUE)
