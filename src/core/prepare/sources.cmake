# Sources of core/prepare, relative to this folder.
list(APPEND MAROKA_CORE_SOURCES
)
