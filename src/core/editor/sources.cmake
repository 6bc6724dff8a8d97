# Sources of core/editor.
list(APPEND MAROKA_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/G65Line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ListText.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProgramListEditor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProgramListSaving.cpp
)
