# core/ui holds only the front-end interface.
list(APPEND MAROKA_CORE_SOURCES
)
