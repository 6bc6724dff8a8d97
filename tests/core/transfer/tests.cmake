maroka_add_test(NAME send_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SendLoopTest.cpp
)
# Receive loop and received-file repair, over real pseudo-terminals.
maroka_add_test(NAME receive_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ReceiveLoopTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReceiveRepairTest.cpp
)
# The main window's receive commands against the simulated machine.
maroka_add_test(NAME receive_session_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ReceiveSessionTest.cpp
    LIBS maroka_machine_lib
)
