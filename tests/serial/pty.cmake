# The serial port on a Wine COM port backed by a pty pair. Changes the
# prefix's port table, so it runs alone.
find_program(TAP_PYTHON3 python3)
add_test(NAME serial_pty
         COMMAND ${TAP_PYTHON3} ${CMAKE_SOURCE_DIR}/tests/serial/pty_port.py
                 ${CMAKE_BINARY_DIR} $<TARGET_FILE:test_serial>)
set_tests_properties(serial_pty PROPERTIES LABELS serial TIMEOUT 600 RUN_SERIAL TRUE)
