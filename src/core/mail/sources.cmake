# Sources of core/mail, relative to this folder.
list(APPEND MAROKA_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/HostLookup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SmtpReplyReader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SmtpClient.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SendNotificationMail.cpp
)
