maroka_add_test(NAME session_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SessionTest.cpp
)

maroka_add_test(NAME session_dialog_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SessionDialogTest.cpp
)
