maroka_add_test(NAME send_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SendLoopTest.cpp
)
