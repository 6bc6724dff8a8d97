# Serial line layer and port names.
maroka_add_test(NAME serial_line_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/LinePacerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LineInputFilterTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TermiosMappingTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SerialLineTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SerialFlowControlTest.cpp
)
maroka_add_test(NAME port_names_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/PortNamesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PortPermissionTest.cpp
)
maroka_add_test(NAME rfc2217_codec_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/Rfc2217CodecTest.cpp
)
# Through the real ser2net device server, in front of a pseudo-terminal.
maroka_add_test(NAME tcp_serial_line_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/TcpSerialLineTest.cpp
)
