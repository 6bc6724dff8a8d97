# Sources of core/platform, relative to this folder.
list(APPEND MAROKA_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ExternalProgram.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TemporaryFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProgramFolder.cpp
)
