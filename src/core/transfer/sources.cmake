# Sources of core/transfer, relative to this folder.
list(APPEND MAROKA_CORE_SOURCES
    # Serial line layer (POSIX backend), port names.
    ${CMAKE_CURRENT_LIST_DIR}/TermiosMapping.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TermiosDevice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PosixSerialLine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PortNames.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PortPermission.cpp
    # Worker, send loop and line setup.
    ${CMAKE_CURRENT_LIST_DIR}/BlockStatus.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChunkReader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LineErrorCheck.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LineSetup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SendLoop.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SendPacing.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TransferFlags.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TTerm.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WorkerLog.cpp
    # Receive loop and received-file repair.
    ${CMAKE_CURRENT_LIST_DIR}/ReceiveFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReceiveLoop.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReceivedFileRepair.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RepairDialogue.cpp
    # Server mode: command analysis, the folder, reply programs, the loop.
    ${CMAKE_CURRENT_LIST_DIR}/ServerFolder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ServerCommand.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReplyProgram.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ServerLoop.cpp
)
