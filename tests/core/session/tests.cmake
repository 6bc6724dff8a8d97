maroka_add_test(NAME session_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SessionTest.cpp
)
maroka_add_test(NAME used_device_servers_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/UsedDeviceServersTest.cpp
)

maroka_add_test(NAME session_dialog_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SessionDialogTest.cpp
)
