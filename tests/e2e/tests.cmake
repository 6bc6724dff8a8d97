# End-to-end tests: maroka-cli against the simulated machine over a real
# pseudo-terminal pair.
maroka_add_test(NAME e2e_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/CliRun.cpp
        ${CMAKE_CURRENT_LIST_DIR}/SendEndToEndTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/EstimateEndToEndTest.cpp
    LIBS maroka_machine_lib
)
target_compile_definitions(e2e_tests PRIVATE MAROKA_CLI_PATH="$<TARGET_FILE:maroka-cli>")
add_dependencies(e2e_tests maroka-cli)

# Receptions: maroka-cli receive against the simulated machine's punch.
maroka_add_test(NAME receive_e2e_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/CliRun.cpp
        ${CMAKE_CURRENT_LIST_DIR}/ReceiveEndToEndTest.cpp
    LIBS maroka_machine_lib
)
target_compile_definitions(receive_e2e_tests PRIVATE MAROKA_CLI_PATH="$<TARGET_FILE:maroka-cli>")
add_dependencies(receive_e2e_tests maroka-cli)

# Server mode: maroka-cli server driven by the simulated machine, with the
# loopback SMTP server of the mail tests for the mail command.
maroka_add_test(NAME server_e2e_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/CliRun.cpp
        ${CMAKE_CURRENT_LIST_DIR}/ServerEndToEndTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/../core/mail/SmtpTestServer.cpp
    LIBS maroka_machine_lib
)
target_compile_definitions(server_e2e_tests PRIVATE MAROKA_CLI_PATH="$<TARGET_FILE:maroka-cli>" ${MAROKA_SMTP_DEFINITIONS})
add_dependencies(server_e2e_tests maroka-cli)

# The same through the ser2net device server (RFC 2217) on 127.0.0.1.
maroka_add_test(NAME device_server_e2e_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/CliRun.cpp
        ${CMAKE_CURRENT_LIST_DIR}/DeviceServerEndToEndTest.cpp
    LIBS maroka_machine_lib
)
target_compile_definitions(device_server_e2e_tests PRIVATE MAROKA_CLI_PATH="$<TARGET_FILE:maroka-cli>")
add_dependencies(device_server_e2e_tests maroka-cli)

# DNC over a true line: maroka-cli feeding the simulated machine at 4800 to
# 115200 baud. Each line case is its own test so that they can run side by
# side; together they take about a minute and a half of line time.
maroka_add_test(NAME dnc_line_e2e_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/CliRun.cpp
        ${CMAKE_CURRENT_LIST_DIR}/DncLineEndToEndTest.cpp
    LIBS maroka_machine_lib
)
target_compile_definitions(dnc_line_e2e_tests PRIVATE MAROKA_CLI_PATH="$<TARGET_FILE:maroka-cli>")
add_dependencies(dnc_line_e2e_tests maroka-cli)
set_tests_properties(dnc_line_e2e_tests PROPERTIES DISABLED TRUE)
foreach(line B4800_7E2 B9600_7E2 B38400_8N1 B115200_8N1)
    add_test(NAME dnc_line_e2e_${line} COMMAND dnc_line_e2e_tests --gtest_filter=Lines/DncLineCase.*/${line})
    set_tests_properties(dnc_line_e2e_${line} PROPERTIES TIMEOUT 300 LABELS dnc_line)
endforeach()
add_test(NAME dnc_line_e2e_starvation COMMAND dnc_line_e2e_tests --gtest_filter=DncLine.*)
set_tests_properties(dnc_line_e2e_starvation PROPERTIES TIMEOUT 300 LABELS dnc_line)

# The settings file as maroka-cli runs share it.
maroka_add_test(NAME settings_e2e_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/CliRun.cpp
        ${CMAKE_CURRENT_LIST_DIR}/SettingsEndToEndTest.cpp
    LIBS maroka_machine_lib
)
target_compile_definitions(settings_e2e_tests PRIVATE MAROKA_CLI_PATH="$<TARGET_FILE:maroka-cli>")
add_dependencies(settings_e2e_tests maroka-cli)
