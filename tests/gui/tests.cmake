# The Qt front end, run without a display. Qt Test rather than GoogleTest:
# key clicks, modal boxes and the event loop are its home ground.
add_executable(gui_tests
    ${CMAKE_CURRENT_LIST_DIR}/GuiTestMain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/GuiTestHelpers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainFormTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DialogsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/GuiSendTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsFormTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../core/mail/SmtpTestServer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../support/LoopbackSocket.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EditorFormTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../support/TempDir.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../support/FakeSerialLine.cpp
)
set_target_properties(gui_tests PROPERTIES AUTOMOC ON)
target_include_directories(gui_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(gui_tests PRIVATE maroka_gui maroka_machine_lib Qt6::Test)
# The settings window's mail test runs against the mail tests' SMTP server.
target_compile_definitions(gui_tests PRIVATE ${MAROKA_SMTP_DEFINITIONS})
add_test(NAME gui_tests COMMAND gui_tests)
# A stuck test function is named by Qt Test's own time-out, well before
# ctest ends the whole executable without saying where it stood.
set_tests_properties(gui_tests PROPERTIES TIMEOUT 300 ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTEST_FUNCTION_TIMEOUT=90000")

