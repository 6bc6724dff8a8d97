maroka_add_test(NAME platform_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ExternalProgramTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProgramFolderTest.cpp
)
