# Sources of core/transfer, relative to this folder.
list(APPEND MAROKA_CORE_SOURCES
)
