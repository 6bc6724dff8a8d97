# Sources of core/ui: the front-end interface and the task queue of front
# ends without an event loop.
list(APPEND MAROKA_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DisplayBatch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UiTaskQueue.cpp
)
