# Server mode: the command language, the folder and the replies without a
# line, and the whole loop against the simulated machine.
maroka_add_test(NAME server_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ServerCommandTest.cpp
)
maroka_add_test(NAME server_session_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ServerSessionTest.cpp
    LIBS maroka_machine_lib
)
