# Sources of core/prepare, relative to this folder.
list(APPEND MAROKA_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BlockOperations.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BlockReader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BlockSettings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BlockWriter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BuildContext.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BuildStamp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CallArguments.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EstimateQueue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FileLookup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LabelList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FeedForecast.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MachiningEstimate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RemainingTimeTracker.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SendFileBuilder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SubprogramExpander.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SubstituteVariable.cpp
)
