# Sources of core/session, relative to this folder.
list(APPEND MAROKA_CORE_SOURCES
)
