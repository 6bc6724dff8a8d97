# Sources of core/text.
list(APPEND MAROKA_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/Cp932.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Encoding.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PreviewText.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TextSearch.cpp
)
