# Helpers shared by the test and benchmark folders.
include(GoogleTest)
find_package(GTest REQUIRED)

# tsm_add_gtest(<target> SOURCES ... [LIBS ...] [LOCK <resource>...] [LABELS <label>]
#               [ENV VAR=value...] [OWN_MAIN | QT_MAIN] [SERIAL])
# Builds one GoogleTest program and registers each of its tests with CTest.
# LOCK names CTest resource locks, for tests that bind fixed protocol ports.
# SERIAL: each test runs alone (RUN_SERIAL), for tests that watch the whole namespace.
# OWN_MAIN: the sources bring their own main (for example one that creates the
# QCoreApplication whose event loop the tests pump).
# QT_MAIN: the shared main of tests/support/QtTestMain.cpp, which makes a QCoreApplication on
# the main thread (the event thread of the event managers and of the devices' parameter
# changes).
function(tsm_add_gtest target)
    cmake_parse_arguments(ARG "OWN_MAIN;QT_MAIN;SERIAL" "" "SOURCES;LIBS;LOCK;LABELS;ENV" ${ARGN})
    if(ARG_QT_MAIN)
        find_package(Qt6 REQUIRED COMPONENTS Core)
        list(APPEND ARG_SOURCES ${PROJECT_SOURCE_DIR}/tests/support/QtTestMain.cpp)
        list(APPEND ARG_LIBS Qt6::Core)
        set(ARG_OWN_MAIN TRUE)
    endif()
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest Threads::Threads)
    if(NOT ARG_OWN_MAIN)
        target_link_libraries(${target} PRIVATE GTest::gtest_main)
    endif()
    set(props TIMEOUT 120)
    if(ARG_LOCK)
        list(APPEND props RESOURCE_LOCK "${ARG_LOCK}")
    endif()
    if(ARG_SERIAL)
        list(APPEND props RUN_SERIAL TRUE)
    endif()
    if(ARG_LABELS)
        # gtest_discover_tests flattens its PROPERTIES: a second label would be read as the
        # name of a property, and the first alone would reach CTest.
        list(LENGTH ARG_LABELS count)
        if(count GREATER 1)
            message(FATAL_ERROR "${target}: one CTest label only, not ${ARG_LABELS}")
        endif()
        list(APPEND props LABELS "${ARG_LABELS}")
    endif()
    if(ARG_ENV)
        list(APPEND props ENVIRONMENT "${ARG_ENV}")
    endif()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST PROPERTIES ${props})
endfunction()

# Adds every direct sub-folder of the current folder that has a CMakeLists.txt.
macro(tsm_add_present_subdirectories)
    file(GLOB _tsm_children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT _tsm_children)
    foreach(_child ${_tsm_children})
        if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${_child}
           AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_child}/CMakeLists.txt)
            add_subdirectory(${_child})
        endif()
    endforeach()
endmacro()
