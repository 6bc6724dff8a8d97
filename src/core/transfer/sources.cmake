# Sources of core/transfer: the worker, the send and receive loops and
# received-file repair, relative to this folder.
list(APPEND MAROKA_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BlockStatus.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChunkReader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LineErrorCheck.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LineSetup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SendLoop.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SendPacing.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TransferClock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TransferFlags.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TTerm.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WorkerLog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReceiveFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReceiveLoop.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReceivedFileRepair.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RepairDialogue.cpp
)
