maroka_add_test(NAME logs_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/LogWriterTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WorkFilesTest.cpp
)
