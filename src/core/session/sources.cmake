# Sources of core/session.
list(APPEND MAROKA_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DefaultPorts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PortWatch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RemainingTimePanel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SessionFeedForecast.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SessionEditor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SessionFiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SessionPort.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SessionReceive.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SessionServer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SessionSettingsDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SessionStartup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SessionTransfer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UsedDeviceServers.cpp
)
