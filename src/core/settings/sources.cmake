# Sources of core/settings.
list(APPEND MAROKA_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/AtomicFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ColourValue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DialogEnabling.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DialogRules.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProfileFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingKeys.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingValue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsFileChoice.cpp
)
