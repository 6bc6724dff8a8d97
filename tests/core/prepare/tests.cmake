maroka_add_test(NAME prepare_block_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BlockOperationsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BlockReaderTest.cpp
)
maroka_add_test(NAME prepare_build_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SendFileBuilderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SubprogramExpanderTest.cpp
)
maroka_add_test(NAME prepare_estimate_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FeedForecastTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MachiningEstimateTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RemainingTimeTrackerTest.cpp
)
maroka_add_test(NAME prepare_fast_path_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FastPathTest.cpp
)
