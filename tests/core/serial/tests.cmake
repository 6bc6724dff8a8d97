# Serial line layer and port names.
maroka_add_test(NAME serial_line_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/LinePacerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TermiosMappingTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SerialLineTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SerialFlowControlTest.cpp
)
maroka_add_test(NAME port_names_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/PortNamesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PortPermissionTest.cpp
)
