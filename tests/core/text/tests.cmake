maroka_add_test(NAME text_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/Cp932Test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EncodingTest.cpp
)
