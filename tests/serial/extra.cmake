# Two COM ports registered as present devices for the whole serial run, so
# that the enumeration is also tested against Wine's registry and device
# manager. The mapped paths do not exist: nothing opens these ports.
set(_wine_env ${CMAKE_SOURCE_DIR}/tools/wine-env.sh)
add_test(NAME serial-com47-up COMMAND ${_wine_env} ${CMAKE_BINARY_DIR} port 47
         /nonexistent/taplinar-com47 "試験用シリアルポート" "タップ試験機器" "USB\\VID_2341&PID_0043")
add_test(NAME serial-com48-up COMMAND ${_wine_env} ${CMAKE_BINARY_DIR} port 48
         /nonexistent/taplinar-com48 "Loopback Port" "Loopback" "ROOT\\LOOPBACK")
add_test(NAME serial-com-down COMMAND sh -c "'${_wine_env}' '${CMAKE_BINARY_DIR}' unport 47 && '${_wine_env}' '${CMAKE_BINARY_DIR}' unport 48")
set_tests_properties(serial-com47-up serial-com48-up PROPERTIES FIXTURES_SETUP serial_com_ports LABELS serial)
set_tests_properties(serial-com-down PROPERTIES FIXTURES_CLEANUP serial_com_ports LABELS serial)
set_tests_properties(${folder} PROPERTIES FIXTURES_REQUIRED serial_com_ports)

# The serial port over a pty-backed COM port.
include(${CMAKE_CURRENT_LIST_DIR}/pty.cmake)
