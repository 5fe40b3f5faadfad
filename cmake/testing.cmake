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

# On a display where Mesa makes no EGL config, eglInitialize unloads the
# driver it loaded, and what the driver's one-time set-up allocated is a
# leak whose stack, taken by the fast unwinder, ends in the unloaded driver:
# nothing a suppression could name. The cases there take their stacks
# with the slow unwinder, which reaches the vendor library that
# tests/lsan.supp names (too slow for every case).
if(OPENGL_TEST_SANITIZE MATCHES "address")
    set(OPENGL_TEST_NO_CONTEXT_ENVIRONMENT "ASAN_OPTIONS=string_append::fast_unwind_on_malloc=0")
else()
    set(OPENGL_TEST_NO_CONTEXT_ENVIRONMENT "")
endif()

# opengl_test_add(NAME LABEL label SOURCES ... LIBRARIES ... [NO_MAIN]
#                 [FIXTURES fixture...] [DISPLAY fixture-display]
#                 [KINDS x11|wayland...])
# A `platform` test needs the display with GLX unless FIXTURES says
# otherwise, and in the Windows builds every test runs under the build's Wine
# server on that display; natively
# DISPLAY names the display fixture whose display the program connects to
# (glx by default; none for a program that must start without one). Cases
# whose names say they call in from another thread get the label `threads`
# too. Natively KINDS names the window systems the program's cases run on
# (x11 by default): the wayland kind registers them again, named
# `wayland.CASE` and labelled `wayland`, on the compositor of the
# wayland_display fixture with no X server (OPENGL_TEST_KIND=wayland, read
# by tests/support/fixture_display_env.cpp).
function(opengl_test_add name)
    cmake_parse_arguments(ARG "NO_MAIN" "LABEL;DISPLAY" "SOURCES;LIBRARIES;FIXTURES;KINDS" ${ARGN})
    if(NOT DEFINED ARG_KINDS OR WIN32)
        set(ARG_KINDS x11)
    endif()
    foreach(kind IN LISTS ARG_KINDS)
        if(NOT kind MATCHES "^(x11|wayland)$")
            message(FATAL_ERROR "opengl_test_add(${name}): KINDS ${kind}: neither x11 nor wayland")
        endif()
    endforeach()
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
    elseif("wayland" IN_LIST ARG_KINDS)
        message(FATAL_ERROR "opengl_test_add(${name}): the wayland kind needs the fixtures' "
            "environment, which a program without FIXTURES or with DISPLAY none does not take")
    endif()
    if(OPENGL_TEST_WHOLE_PROGRAMS)
        if("x11" IN_LIST ARG_KINDS)
            add_test(NAME ${OPENGL_TEST_PREFIX}${name} COMMAND ${name})
            set_tests_properties(${OPENGL_TEST_PREFIX}${name} PROPERTIES
                LABELS "${ARG_LABEL}" FIXTURES_REQUIRED "${ARG_FIXTURES}"
                ENVIRONMENT OPENGL_TEST_KIND=x11 TIMEOUT 600)
        endif()
        if("wayland" IN_LIST ARG_KINDS)
            add_test(NAME ${OPENGL_TEST_PREFIX}wayland.${name} COMMAND ${name})
            set_tests_properties(${OPENGL_TEST_PREFIX}wayland.${name} PROPERTIES
                LABELS "${ARG_LABEL};wayland" FIXTURES_REQUIRED wayland_display
                RESOURCE_LOCK display_wayland ENVIRONMENT OPENGL_TEST_KIND=wayland TIMEOUT 600)
        endif()
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
            elseif(fixture STREQUAL "wayland_desktop")
                list(APPEND locks display_wayland_desktop)
            endif()
        endforeach()
    endif()
    if("x11" IN_LIST ARG_KINDS)
        # Named, so that a shell's OPENGL_TEST_KIND does not change it.
        gtest_discover_tests(${name} TEST_PREFIX "${OPENGL_TEST_PREFIX}" TEST_LIST ${name}_TESTS
            PROPERTIES TIMEOUT 120 ENVIRONMENT OPENGL_TEST_KIND=x11 ${OPENGL_TEST_DISCOVERY})
        opengl_test_discovered_properties(${name}_TESTS "${ARG_LABEL}" "${ARG_FIXTURES}" "${locks}")
    endif()
    if("wayland" IN_LIST ARG_KINDS)
        gtest_discover_tests(${name} TEST_PREFIX "${OPENGL_TEST_PREFIX}wayland."
            TEST_LIST ${name}_wayland_TESTS
            PROPERTIES TIMEOUT 120 ENVIRONMENT OPENGL_TEST_KIND=wayland ${OPENGL_TEST_DISCOVERY})
        opengl_test_discovered_properties(${name}_wayland_TESTS "${ARG_LABEL};wayland"
            wayland_display display_wayland)
    endif()
endfunction()

# opengl_test_discovered_properties(TEST_LIST LABELS FIXTURES LOCKS): CMake
# 3.25's test discovery cannot give a property a list (labels, fixtures), so
# a script run after it sets them on every case it found (the TEST_LIST
# named). Cases whose names say they call in from another thread get the
# label `threads` too.
function(opengl_test_discovered_properties list labels fixtures locks)
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${list}_properties.cmake)
    set(environment "")
    if("depth8_display" IN_LIST fixtures)
        set(environment "${OPENGL_TEST_NO_CONTEXT_ENVIRONMENT}")
    endif()
    file(WRITE ${script} "foreach(test IN LISTS ${list})
    set(labels \"${labels}\")
    if(test MATCHES \"AnotherThread\")
        list(APPEND labels threads)
    endif()
    set_tests_properties(\"\${test}\" PROPERTIES LABELS \"\${labels}\" FIXTURES_REQUIRED \"${fixtures}\"
        RESOURCE_LOCK \"${locks}\" ENVIRONMENT_MODIFICATION \"${environment}\")
endforeach()
")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()
