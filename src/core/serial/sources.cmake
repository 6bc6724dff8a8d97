# Sources of core/serial: the line interface, the loops its backends share, the POSIX tty and
# TCP backends, termios mapping, port names and the system-call seam, relative to this folder.
list(APPEND MAROKA_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/LinePacer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LineWakeUp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PacedSerialLine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TermiosMapping.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TermiosDevice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PosixSerialLine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PortNames.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PortPermission.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LineInputFilter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Rfc2217Codec.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NetworkPortName.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TcpSerialLine.cpp
)
