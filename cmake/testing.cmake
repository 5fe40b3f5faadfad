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

# While a fixture runs, the display it started is named in a file here.
set(OPENGL_TEST_FIXTURE_DIR ${CMAKE_BINARY_DIR}/fixtures)

# opengl_test_add(NAME LABEL label SOURCES ... LIBRARIES ... [NO_MAIN]
#                 [FIXTURES fixture...] [DISPLAY fixture-display])
# A `platform` test needs the display with GLX unless FIXTURES says
# otherwise, and in the Windows builds every test runs under the build's Wine
# server on that display; natively
# DISPLAY names the display fixture whose display the program connects to
# (glx by default; none for a program that must start without one). Cases
# whose names say they call in from another thread get the label `threads`
# too.
function(opengl_test_add name)
    cmake_parse_arguments(ARG "NO_MAIN" "LABEL;DISPLAY" "SOURCES;LIBRARIES;FIXTURES" ${ARGN})
    if(NOT DEFINED ARG_FIXTURES AND ARG_LABEL STREQUAL "platform")
        set(ARG_FIXTURES glx_display)
    endif()
    if(WIN32)
        # Every test program runs under the build's Wine server, on its
        # display; one started without it would have its server ended by
        # the fixture's start.
        set(ARG_FIXTURES wine_server)
    endif()
    if(NOT DEFINED ARG_DISPLAY)
        set(ARG_DISPLAY glx)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest)
    if(NOT ARG_NO_MAIN)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    if(NOT WIN32 AND ARG_FIXTURES AND NOT ARG_DISPLAY STREQUAL "none")
        target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/fixture_display_env.cpp)
        target_link_libraries(${name} PRIVATE fixture_display)
        target_compile_definitions(${name} PRIVATE OPENGL_TEST_DISPLAY_FIXTURE="${ARG_DISPLAY}")
    endif()
    if(OPENGL_TEST_WHOLE_PROGRAMS)
        add_test(NAME ${OPENGL_TEST_PREFIX}${name} COMMAND ${name})
        set_tests_properties(${OPENGL_TEST_PREFIX}${name} PROPERTIES
            LABELS "${ARG_LABEL}" FIXTURES_REQUIRED "${ARG_FIXTURES}" TIMEOUT 600)
        return()
    endif()
    # A case on one of the native build's displays locks it, as the
    # end-to-end cases do: those find the program's window by its title and
    # send input where the focus is, so no other window may come and go
    # there meanwhile.
    set(locks "")
    if(NOT WIN32)
        foreach(fixture IN LISTS ARG_FIXTURES)
            if(fixture MATCHES "^(.+)_display$")
                list(APPEND locks display_${CMAKE_MATCH_1})
            endif()
        endforeach()
    endif()
    gtest_discover_tests(${name} TEST_PREFIX "${OPENGL_TEST_PREFIX}" TEST_LIST ${name}_TESTS
        PROPERTIES TIMEOUT 120 ${OPENGL_TEST_DISCOVERY})
    opengl_test_discovered_properties(${name} "${ARG_LABEL}" "${ARG_FIXTURES}" "${locks}")
endfunction()

# opengl_test_discovered_properties(TARGET LABELS FIXTURES LOCKS): CMake 3.25's
# test discovery cannot give a property a list (labels, fixtures), so a
# script run after it sets them on every case it found (the TEST_LIST
# TARGET_TESTS). Cases whose names say they call in from another thread get
# the label `threads` too.
function(opengl_test_discovered_properties target labels fixtures locks)
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_properties.cmake)
    file(WRITE ${script} "foreach(test IN LISTS ${target}_TESTS)
    set(labels \"${labels}\")
    if(test MATCHES \"AnotherThread\")
        list(APPEND labels threads)
    endif()
    set_tests_properties(\"\${test}\" PROPERTIES LABELS \"\${labels}\" FIXTURES_REQUIRED \"${fixtures}\"
        RESOURCE_LOCK \"${locks}\")
endforeach()
")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()
