# Sources of core/logs, relative to this folder.
list(APPEND MAROKA_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BackgroundLog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LogFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LogTime.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LogWriter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WorkFilePath.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WorkFolder.cpp
)
