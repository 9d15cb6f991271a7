# tavik_library(NAME folder-target SOURCES ... DEPS ...)
# One library per folder; headers are included by their folder path from the source root
# (#include "store/Table.h").
function(tavik_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# tavik_test(NAME SOURCES ... DEPS ...): a GoogleTest binary registered with CTest.
function(tavik_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/TestMain.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} tavik_testsupport GTest::gtest GTest::gmock)
    target_compile_definitions(${name} PRIVATE TAVIK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    gtest_discover_tests(${name}
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
        DISCOVERY_TIMEOUT 60
        DISCOVERY_MODE PRE_TEST)
endfunction()
