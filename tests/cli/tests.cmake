# The terminal front end's own pieces; the commands themselves run end to end
# in tests/e2e.
maroka_add_test(NAME cli_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CommandArgumentsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TerminalUserInterfaceTest.cpp
    ${CMAKE_SOURCE_DIR}/src/cli/CommandArguments.cpp
    ${CMAKE_SOURCE_DIR}/src/cli/TerminalUserInterface.cpp
)

# Commands that need no machine, run as an operator runs them.
maroka_add_cli_test(NAME cli_command_tests LIBS maroka_machine_lib SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/PrepareCommandTest.cpp
)
