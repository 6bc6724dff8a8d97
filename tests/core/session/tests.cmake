maroka_add_test(NAME session_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SessionTest.cpp
)
# The port's device goes away and comes back: the simulated machine's
# pseudo-terminal, closed and made again under the same link name.
maroka_add_test(NAME session_port_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/PortReturnTest.cpp
    LIBS maroka_machine_lib
)
