maroka_add_test(NAME machine_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/TapeReaderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IncomingWireTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DncControlTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MachineOptionsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SimulatedMachineTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MachineProgramTest.cpp
    LIBS maroka_machine_lib
)
add_dependencies(machine_tests maroka-machine)
target_compile_definitions(machine_tests PRIVATE MAROKA_MACHINE_BIN="$<TARGET_FILE:maroka-machine>")
