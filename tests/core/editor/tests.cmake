maroka_add_test(NAME editor_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/G65LineTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ListTextTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProgramListEditorTest.cpp
)
