# Sources of core/mail, relative to this folder.
list(APPEND MAROKA_CORE_SOURCES
)
