# lumo_module(NAME SOURCES... [LIBS ...]): a static library of our own code, compiled once and
# linked both into the plugin and into the tests, so the tests exercise the shipped code.
function(lumo_module name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_compile_options(${name} PRIVATE ${LUMO_WARNINGS})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# lumo_test(NAME SOURCES... LIBS ...): one GoogleTest program registered with ctest.
function(lumo_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${LUMO_WARNINGS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock
        Threads::Threads)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120)
endfunction()
