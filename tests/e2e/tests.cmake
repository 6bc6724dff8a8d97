# End-to-end tests: maroka-cli against the simulated machine over a real
# pseudo-terminal pair.
maroka_add_test(NAME e2e_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/CliRun.cpp
        ${CMAKE_CURRENT_LIST_DIR}/SendEndToEndTest.cpp
    LIBS maroka_machine_lib
)
target_compile_definitions(e2e_tests PRIVATE MAROKA_CLI_PATH="$<TARGET_FILE:maroka-cli>")
add_dependencies(e2e_tests maroka-cli)
