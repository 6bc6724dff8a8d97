# Sources of core/logs, relative to this folder.
list(APPEND MAROKA_CORE_SOURCES
)
