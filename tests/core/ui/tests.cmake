maroka_add_test(NAME ui_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DisplayBatchTest.cpp
)
