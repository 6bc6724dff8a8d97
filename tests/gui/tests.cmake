# The Qt front end, run without a display. Qt Test rather than GoogleTest:
# key clicks, modal boxes and the event loop are its home ground.
add_executable(gui_tests
    ${CMAKE_CURRENT_LIST_DIR}/GuiTestMain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainFormTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DialogsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UserInterfaceTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SessionWindowTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/GuiSendTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EditorFormTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModalScript.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../support/TempDir.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../support/FakeSerialLine.cpp
)
set_target_properties(gui_tests PROPERTIES AUTOMOC ON)
target_include_directories(gui_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(gui_tests PRIVATE maroka_gui maroka_machine_lib Qt6::Test)
add_test(NAME gui_tests COMMAND gui_tests)
set_tests_properties(gui_tests PROPERTIES TIMEOUT 300 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
