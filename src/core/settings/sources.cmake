# Sources of core/settings.
list(APPEND MAROKA_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SettingKeys.cpp
)
