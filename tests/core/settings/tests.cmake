maroka_add_test(NAME settings_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ProfileFileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsFileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsFileChoiceTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DialogRulesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsEncodingTest.cpp
)

# The settings command of maroka-cli, built from its source.
maroka_add_test(NAME settings_command_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SettingsCommandTest.cpp
    ${CMAKE_SOURCE_DIR}/src/cli/SettingsCommand.cpp
)
