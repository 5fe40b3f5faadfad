# GoogleTest and the helper every test folder uses to add a test program.
if(CMAKE_CROSSCOMPILING)
    # GoogleTest compiled for the target from the sources Debian installs.
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # Finding the tests would start the emulator (Wine) on every build; find
    # them when CTest runs instead. The prefix tells these builds' tests
    # apart from the native ones.
    set(OPENGL_TEST_DISCOVERY DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120)
    if(WIN32)
        set(OPENGL_TEST_PREFIX "win.")
    else()
        set(OPENGL_TEST_PREFIX "${CMAKE_SYSTEM_PROCESSOR}.")
    endif()
else()
    find_package(GTest REQUIRED)
    set(OPENGL_TEST_DISCOVERY)
    set(OPENGL_TEST_PREFIX "")
endif()
include(GoogleTest)

# Under an emulator a process costs seconds to start, so one per test case
# (and one more to list them) would make a run take far longer than the
# tests do: there each test program runs once, all its cases in one process.
option(OPENGL_TEST_WHOLE_PROGRAMS "Register each test program as one CTest test" OFF)

# opengl_test_add(NAME LABEL label SOURCES ... LIBRARIES ... [NO_MAIN])
function(opengl_test_add name)
    cmake_parse_arguments(ARG "NO_MAIN" "LABEL" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest)
    if(NOT ARG_NO_MAIN)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    if(OPENGL_TEST_WHOLE_PROGRAMS)
        add_test(NAME ${OPENGL_TEST_PREFIX}${name} COMMAND ${name})
        set_tests_properties(${OPENGL_TEST_PREFIX}${name} PROPERTIES LABELS "${ARG_LABEL}" TIMEOUT 600)
    else()
        gtest_discover_tests(${name} TEST_PREFIX "${OPENGL_TEST_PREFIX}"
            PROPERTIES LABELS "${ARG_LABEL}" TIMEOUT 60 ${OPENGL_TEST_DISCOVERY})
    endif()
endfunction()

