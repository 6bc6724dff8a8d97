# Sources of core/server: the command language, the folder rules, reply
# programs and the loop, relative to this folder.
list(APPEND MAROKA_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ServerFolder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ServerCommand.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReplyProgram.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReplyText.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LineDrain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ServerLoop.cpp
)
