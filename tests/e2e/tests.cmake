# End-to-end tests: maroka-cli against the simulated machine over a real
# pseudo-terminal pair.
maroka_add_cli_test(NAME e2e_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/SendEndToEndTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/EstimateEndToEndTest.cpp
    LIBS maroka_machine_lib
)

# Receptions: maroka-cli receive against the simulated machine's punch.
maroka_add_cli_test(NAME receive_e2e_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/ReceiveEndToEndTest.cpp
    LIBS maroka_machine_lib
)

# Server mode: maroka-cli server driven by the simulated machine, with the
# loopback SMTP server of the mail tests for the mail command.
maroka_add_cli_test(NAME server_e2e_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/ServerEndToEndTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/../core/mail/SmtpTestServer.cpp
    LIBS maroka_machine_lib
    DEFINITIONS ${MAROKA_SMTP_DEFINITIONS}
)

# The same through the ser2net device server (RFC 2217) on 127.0.0.1.
maroka_add_cli_test(NAME device_server_e2e_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/DeviceServerEndToEndTest.cpp
    LIBS maroka_machine_lib
)

# DNC over a true line: maroka-cli feeding the simulated machine at 4800 to
# 115200 baud. Each line case is its own test so that they can run side by
# side; together they take about a minute and a half of line time.
maroka_add_cli_test(NAME dnc_line_e2e_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/DncLineEndToEndTest.cpp
    LIBS maroka_machine_lib
)
set_tests_properties(dnc_line_e2e_tests PROPERTIES DISABLED TRUE)
foreach(line B4800_7E2 B9600_7E2 B38400_8N1 B115200_8N1)
    add_test(NAME dnc_line_e2e_${line} COMMAND dnc_line_e2e_tests --gtest_filter=Lines/DncLineCase.*/${line})
    set_tests_properties(dnc_line_e2e_${line} PROPERTIES TIMEOUT 300 LABELS dnc_line)
endforeach()
add_test(NAME dnc_line_e2e_starvation COMMAND dnc_line_e2e_tests --gtest_filter=DncLine.*)
set_tests_properties(dnc_line_e2e_starvation PROPERTIES TIMEOUT 300 LABELS dnc_line)

# The settings file as maroka-cli runs share it.
maroka_add_cli_test(NAME settings_e2e_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/SettingsEndToEndTest.cpp
    LIBS maroka_machine_lib
)
