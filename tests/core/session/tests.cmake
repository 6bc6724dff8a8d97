maroka_add_test(NAME session_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SessionTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SessionCommandsTest.cpp
)
